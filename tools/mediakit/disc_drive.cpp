#include "disc_drive.h"

#include <port/host.h>

#include <filesystem>
#include <stdexcept>

namespace {

const char discLetter = 'X';
const unsigned driveCdRom = 5;

}  // namespace

CDiscDrive::CDiscDrive(const std::string& hostFolder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(hostFolder, error)) {
        throw std::runtime_error(hostFolder + ": not a folder");
    }
    PortSetDrive(discLetter, driveCdRom, std::filesystem::absolute(hostFolder).string());
    root = std::string(1, discLetter) + ":\\";
}

CDiscDrive::~CDiscDrive()
{
    PortSetDrive(discLetter, 0, "");
}
