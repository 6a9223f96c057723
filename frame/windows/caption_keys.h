#pragma once
// Captions and hints written as text keys "Section.Key" of the program's text
// table, and their texts.  Below both the dialog base (which translates whole
// forms) and the data windows (which translate their speed buttons' hints).
//
// Main thread only (the text table is read as the display shows it).

#include <QString>

// A caption names a text when it has a "." after its first character that
// is not followed by a blank (and is not its last character); the section is
// what comes before the "." and the key up to 99 characters after it.  Only
// the first 255 characters count.
bool CaptionKeyParts(const QString& caption, QString& section, QString& key);
// A hint names a text whenever it has a ".".
bool HintKeyParts(const QString& hint, QString& section, QString& key);
// A help keyword with a "." names a text; without one it is the tip itself.
QString HelpKeywordHint(const QString& keyword);
// The program text of section.key for display; a missing entry reads
// "!! Section.Key".
QString UiText(const QString& section, const QString& key);
