#pragma once
// The export of the document for spreadsheets and analysis tools: a UTF-8 CSV
// with named columns, ISO 8601 times with the PC's UTC offset and values in
// G and degrees Celsius, and beside it a small JSON file with the logger's
// identity and settings. The legacy CSV (cp932, tenths of a G as counts,
// local time without an offset) stays the default of the save button.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "files/logger_identity.h"
#include "ui/line_store.h"

namespace dorv::files {

// Seconds east of UTC of a local civil time (its fields may run past their
// ranges, as mktime allows); the PC's time zone by default.
using UtcOffsetFn =
    std::function<long(int year, int month, int day, int hour, int minute, int second)>;
long LocalUtcOffset(int year, int month, int day, int hour, int minute, int second);

// "+09:00", "-03:30", "+00:00".
std::string FormatUtcOffset(long seconds);

struct ExportSummary {
  int countsPerG = 0;     // the divisor used
  int startYear = 0;      // from the first line, 0 when it has none
  int records = 0;        // data rows written
  int irregular = 0;      // rows flagged irregular
  int skippedLines = 0;   // lines that were neither a header, a marker nor data
  std::string firstTime;  // ISO times of the first and last row
  std::string lastTime;
};

// The column header of the export.
inline constexpr const char* kExportHeader = "time,x_g,y_g,z_g,temperature_c,irregular,extra";

// Converts the document lines (cp932, as saved in the legacy CSV) into the
// export's CSV lines, header first. The divisor is the first line's " @1G="
// value, else `countsPerG`. A record the decoder marked (first byte 0x81)
// or whose fraction of a second is out of range is flagged irregular; its
// year is restored from the year before it. Throws ui::Exception when there
// is no divisor of at least 1.
std::vector<std::string> ExportCsvLines(const ui::LineStore& document, int countsPerG,
                                        const UtcOffsetFn& offset, ExportSummary& summary);
inline std::vector<std::string> ExportCsvLines(const std::vector<std::string>& document,
                                               int countsPerG, const UtcOffsetFn& offset,
                                               ExportSummary& summary) {
  return ExportCsvLines(ui::LineStore(document), countsPerG, offset, summary);
}

// The JSON beside the CSV: identity, settings, divisor and counts.
std::string ExportJsonText(const LoggerIdentity& identity, const ExportSummary& summary,
                           const std::string& csvFileName);

// The JSON file's path for a CSV path: the extension replaced by ".json".
std::string ExportJsonPath(const std::string& csvPath);

// Writes the CSV and the JSON beside it, each without losing a file that was
// there (SaveLines). Throws ui::Exception with the file's name on failure.
ExportSummary WriteExport(const std::string& csvPath, const ui::LineStore& document, int countsPerG,
                          const LoggerIdentity& identity,
                          const UtcOffsetFn& offset = LocalUtcOffset);
inline ExportSummary WriteExport(const std::string& csvPath,
                                 const std::vector<std::string>& document, int countsPerG,
                                 const LoggerIdentity& identity,
                                 const UtcOffsetFn& offset = LocalUtcOffset) {
  return WriteExport(csvPath, ui::LineStore(document), countsPerG, identity, offset);
}

}  // namespace dorv::files
