#pragma once
// What the data window's own source files share (data_form.cpp and its
// printing, export and clipboard parts); not for other callers.

class TDataForm;

namespace data_form_detail {

// Ends the program when called outside the main thread: the registry and the
// shared print, export and clipboard state have no lock.
void AssertMainThread(const char* where);
// Alive and not closing.
bool IsLive(const TDataForm* f);

} // namespace data_form_detail
