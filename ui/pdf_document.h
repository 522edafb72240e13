#pragma once
// Vector PDF documents with searchable text (the graph window's report). The
// core cannot write one: the front end that can installs a writer at start-up
// (the Qt front end's QPdfWriter); without one, OpenPdfDocument says so.
#include <functional>
#include <memory>
#include <string>

#include "ui/modal.h"

namespace dorv::ui {

// Opens a one-document writer for `path`; the returned printer is ready for
// BeginDoc, its canvas draws vectors and real text, EndDoc throws
// ui::Exception when the file cannot be written. User-interface thread only.
using PdfDocumentWriter = std::function<std::unique_ptr<TPrinter>(const std::string& path)>;

void SetPdfDocumentWriter(PdfDocumentWriter writer);
bool HavePdfDocumentWriter();
// Throws ui::Exception saying why no PDF can be made when there is no writer.
void RequirePdfDocumentWriter();
// The writer's document; throws ui::Exception naming the file when this
// program has no writer.
std::unique_ptr<TPrinter> OpenPdfDocument(const std::string& path);

}  // namespace dorv::ui
