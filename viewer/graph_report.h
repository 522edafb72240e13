#pragma once
// The graph window's one-page report: the graph of the current view drawn as
// vectors, the all-axis statistics of the marked range, the logger's
// identity and settings and the data's name, on a PDF page.
#include <string>

#include "files/logger_identity.h"
#include "ui/modal.h"

namespace dorv::viewer {

class TForm2;

// Draws the report on a page that BeginDoc has opened; `createdAt` is the
// time printed at its foot.
void DrawGraphReport(TForm2& graph, ui::TPrinter& page, const files::LoggerIdentity& id,
                     const std::string& createdAt);

// The name the report is saved under: ".pdf" appended when the chosen file
// name itself has no extension.
std::string ReportSaveName(const std::string& chosen);

}  // namespace dorv::viewer
