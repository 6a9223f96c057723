#pragma once
// The record viewers as the commands see them.  The viewers' layer makes
// them through the factories of ViewerServices (frame/hooks.h); the commands
// set them up and load them, and the "external program" command reads the
// HTML viewer's document name back.
//
// Main thread only.

#include <array>
#include <cstdint>
#include <string>

class TDataForm;

// The HTML record viewer (TProhlizecN).
class RecordViewerWindow {
public:
    virtual ~RecordViewerWindow() = default;
    // The window itself (a data window, registered when made).
    virtual TDataForm& Form() = 0;
    // The document letter ("M" main record, "S" product summary ...) and the
    // caller's extra field.
    virtual void SetDocument(char letter, uint16_t extra) = 0;
    // The master list's search words (display code page; empty texts unused).
    virtual void SetSearchWords(const std::array<std::string, 5>& words) = 0;
    // Sets the viewer up with its title, a text key ("Prohlizec.SPC").
    virtual void SetupViewer(const std::string& titleKey) = 0;
    // The "follow the master" button follows Dependent.
    virtual void SetSlaveButton(bool enabled) = 0;
    // The document the viewer shows: its file name (without extension) and
    // the letter of its text kind ("R", "S", "L", "E" ...).
    virtual std::string DocumentFileName() const = 0;
    virtual char TextKindLetter() const = 0;
};

// The record viewer of the user's notes (TProhlizec).
class NotesViewerWindow {
public:
    virtual ~NotesViewerWindow() = default;
    virtual TDataForm& Form() = 0;
    virtual void SetDocumentLetter(char letter) = 0;
    // The title (data code page).
    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetSlaveButton(bool enabled) = 0;
};
