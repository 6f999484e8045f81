#include "finding_writer.h"

#include <cstring>

namespace {

// Names on a Linux tree need not be UTF-8; JSON must be, so a stray byte is
// replaced rather than the output broken off.
std::string Dump(const nlohmann::ordered_json& record)
{
    return record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

CFindingWriter::CFindingWriter(ReportStyle reportStyle, std::ostream& output, std::ostream& errorOutput)
    : style(reportStyle), out(output), errors(errorOutput)
{
}

nlohmann::ordered_json CFindingWriter::Record(const char* kind, const char* check, const std::string& path)
{
    return {{"kind", kind}, {"check", check}, {"path", path}};
}

void CFindingWriter::Tell(const std::string& line, const nlohmann::ordered_json& record)
{
    switch (style) {
    case ReportStyle::text:
        out << line << '\n';
        break;
    case ReportStyle::json:
        out << Dump(record) << '\n';
        break;
    case ReportStyle::quiet:
        if (record["kind"] == "error") {
            errors << line << '\n';
        }
        break;
    }
}

void CFindingWriter::Tell(const char* kind, const std::function<std::string()>& makeLine,
                          const std::function<nlohmann::ordered_json()>& makeRecord)
{
    if (style == ReportStyle::text) {
        out << makeLine() << '\n';
    } else if (style == ReportStyle::json || std::strcmp(kind, "error") == 0) {
        Tell(makeLine(), makeRecord());
    }
}

void CFindingWriter::Summarize(const char* check, const std::string& line, const nlohmann::ordered_json& counts)
{
    if (style == ReportStyle::text) {
        out << line << '\n';
    }
    checks[check] = counts;
}

void CFindingWriter::Close(int exitCode)
{
    if (style != ReportStyle::json) {
        return;
    }
    nlohmann::ordered_json summary = {{"exit_code", exitCode}};
    summary.update(checks);
    out << Dump({{"summary", summary}}) << '\n';
}

void TellTrouble(CFindingWriter& writer, const char* check, CWalkObserver::Trouble kind,
                 const char* relativePath, const char* name, const char* inputRefused,
                 const char* inputUnreadable)
{
    std::string path = relativePath;
    std::string reason;
    switch (kind) {
    case CWalkObserver::inputRefused:
        reason = inputRefused;
        break;
    case CWalkObserver::folderUnreadable:
        reason = "the folder cannot be read";
        break;
    case CWalkObserver::listingUnreadable:
        reason = inputUnreadable;
        break;
    case CWalkObserver::pathTooLong:
        path += name;
        reason = "the path is longer than 259 characters, the check fails on it";
        break;
    }
    nlohmann::ordered_json record = CFindingWriter::Record("error", check, path);
    record["reason"] = reason;
    writer.Tell("error    " + path + "  " + reason, record);
}
