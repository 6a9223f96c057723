#pragma once
// The editor of the connection settings (plain http, proxy host and port,
// proxy credentials, offline) over a set of controls: the network settings
// dialog shows it alone, the installation settings dialog on a tab.  Check
// boxes act on the settings at once, edits when they are left, so that a
// test run from the dialog uses what the user sees; OK stores the flags and
// saves when anything changed; Cancel puts back the values of the opening.
//
// Main thread only; every change goes through the settings mutex, so a
// request on another thread copies either the old or the new values.

#include <QObject>

#include <cstdint>
#include <string>
#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;

// The four check boxes.
struct ConnectionBoxes {
    bool plainHttp = false;
    bool proxy = false;
    bool credentials = false;
    bool offline = false;
    bool operator==(const ConnectionBoxes&) const = default;
};
ConnectionBoxes BoxesOfFlags(uint16_t flags);
// The flags OK stores: the two low bits of the flags at the opening, and
// the boxes' bits.
uint16_t FlagsOfBoxes(uint16_t opened, const ConnectionBoxes& boxes);

// The proxy address split at its last ":" (host before, port after, cut to
// 99); without ":" all of it is the port.
struct ProxyParts {
    std::string host;
    std::string port;
    bool operator==(const ProxyParts&) const = default;
};
ProxyParts SplitProxyAddress(std::string_view address);
// host + ":" + port, cut to 65.
std::string JoinProxyAddress(std::string_view host, std::string_view port);

// Which controls take input.
struct ConnectionEnabling {
    bool scheme = false;      // c4http, c4proxy
    bool proxyFields = false; // t4proxy, v4proxy, t4port, v4port, c4name
    bool credentials = false; // v4name, t4pass, v4pass, c4pass
    bool operator==(const ConnectionEnabling&) const = default;
};
ConnectionEnabling EnablingOf(const ConnectionBoxes& boxes);

// The stored values Cancel puts back.
struct StoredConnection {
    uint16_t flags = 0;
    std::string proxyAddress;
    std::string proxyUser;
    std::string proxyPassword;
    static StoredConnection Current();
    void Restore() const;
};

struct ConnectionControls {
    QCheckBox* c4http = nullptr;
    QCheckBox* c4proxy = nullptr;
    QLabel* t4proxy = nullptr;
    QLineEdit* v4proxy = nullptr;
    QLabel* t4port = nullptr;
    QLineEdit* v4port = nullptr;
    QCheckBox* c4name = nullptr;
    QLineEdit* v4name = nullptr;
    QLabel* t4pass = nullptr;
    QLineEdit* v4pass = nullptr;
    QCheckBox* c4pass = nullptr;
    QCheckBox* c4off = nullptr;
};

// The controls of a form that holds the connection fields under their
// usual names (the network settings and the installation settings).
template <class Form>
ConnectionControls ConnectionControlsOf(const Form& ui)
{
    return {ui.c4http, ui.c4proxy, ui.t4proxy, ui.v4proxy, ui.t4port, ui.v4port,
            ui.c4name, ui.v4name,  ui.t4pass,  ui.v4pass,  ui.c4pass, ui.c4off};
}

class ConnectionEditor : public QObject {
public:
    // Fills the controls from the settings and wires their handlers.
    ConnectionEditor(const ConnectionControls& controls, QObject* parent);

    void EnableControls();
    // Edits whose text changed since they were last applied are applied now
    // (OK and the tests may come before the edit lost its focus).
    void ApplyChangedEdits();
    // OK: the flags from the boxes; saved when they or an edit changed; the
    // server list is fetched anew with the new settings (with `refetchAlways`
    // false only when a connection value differs from the opening's).  True
    // when saved.
    bool Confirm(bool refetchAlways = true);
    // Cancel: the values of the opening back.
    void Restore() const;

    // The handlers.
    void SchemeClicked(bool checked);
    void BoxClicked();
    void ProxyEdited();
    void CredentialsEdited();
    void ShowPasswordClicked(bool checked);

private:
    ConnectionBoxes Boxes() const;

    ConnectionControls c_;
    StoredConnection opened_;
    bool edited_ = false;
    ProxyParts appliedProxy_;
    std::string appliedUser_;
    std::string appliedPassword_;
};
