#pragma once
// What the commands open for a product: the record viewers, the product's
// PDF documents and web page, and a document of the external document
// program.  Texts in the data code page unless said otherwise.
//
// Main thread only.

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/windows/link_kind.h"

class QPixmap;

// The 7-character code of a drug record (empty when it cannot be read).
std::string DrugCodeOfRecord(int32_t record);
// An image of the icon holder by name (TIkona), for window icons.
QPixmap IkonaImage(const char* name);

// Opens or raises the record text viewer of a command.  With fromMainWindow
// the value is the main window's requested position (LinkValues[0]);
// otherwise the master search decides (a found viewer is raised).
void OpenRecordViewer(uint16_t code, bool fromMainWindow, uint16_t extra);
// The viewer of the user's notes ("dNO").
void OpenNotesViewer(uint16_t code);

// The first file of the data folder named third letter + "*.PDF" (case
// ignored, first by name), opened with the desktop's handler.
void OpenProductPdf(uint16_t code);
// The product's web page: "WGra.web1" + the product code + extra.  An empty
// code is read from the active data window's drug link.
void OpenProductWebPage(const std::string& productCode, const std::string& extra);
// Starts the external document program configured for the name's extension
// on the document's file.
void OpenExternalDocument(const std::string& documentName);

// The document name "sBX" hands over: the viewer's file name (at most 85
// characters) and an extension by its text-kind letter.
std::string ExternalDocumentName(const std::string& fileName, char textKind);
// The configured "folder program options" of an extension ("" when none).
std::string ExternalDocumentEntry(const std::string& extension);
