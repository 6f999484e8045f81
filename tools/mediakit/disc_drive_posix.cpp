#include "disc_drive.h"

#include <port/host.h>

#include <filesystem>
#include <stdexcept>
#include <sys/vfs.h>

namespace {

const char discLetter = 'X';
const unsigned driveFixed = 3;
const unsigned driveCdRom = 5;
// The file systems of mounted discs.
const long iso9660Magic = 0x9660;
const long udfMagic = 0x15013346;

// A folder on a mounted disc is on a CD-ROM drive, where the content check
// reads one file at a time (a second reader only makes the drive seek); any
// other folder is on a fixed disk.
unsigned DriveTypeOf(const std::string& hostFolder)
{
    struct statfs info {};
    if (statfs(hostFolder.c_str(), &info) == 0 && (info.f_type == iso9660Magic || info.f_type == udfMagic)) {
        return driveCdRom;
    }
    return driveFixed;
}

}  // namespace

CDiscDrive::CDiscDrive(const std::string& hostFolder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(hostFolder, error)) {
        throw std::runtime_error(hostFolder + ": not a folder");
    }
    PortSetDrive(discLetter, DriveTypeOf(hostFolder), std::filesystem::absolute(hostFolder).string());
    root = std::string(1, discLetter) + ":\\";
}

CDiscDrive::~CDiscDrive()
{
    PortSetDrive(discLetter, 0, "");
}
