#include "maintenance/connection_editor.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "datastore/service_hooks.h"
#include "frame/config/config_file.h"
#include "maintenance/http_client.h"
#include "platform/cp1250.h"

namespace {

constexpr size_t kMaxProxyText = 65;
constexpr size_t kMaxPortText = 99;
constexpr uint16_t kKeptBits = 0x03;

std::string Cut(std::string_view text, size_t max)
{
    return std::string(text.substr(0, max));
}

std::string TextOf(const QLineEdit* edit)
{
    return QStringToCp1250(edit->text());
}

void SetBit(uint16_t bit, bool on)
{
    Config().Update([&](ConfigValues& v) {
        v.ConnectionFlags =
            static_cast<uint16_t>(on ? (v.ConnectionFlags | bit) : (v.ConnectionFlags & ~bit));
    });
}

} // namespace

ConnectionBoxes BoxesOfFlags(uint16_t flags)
{
    return {(flags & ConnectionFlag::PlainHttp) != 0, (flags & ConnectionFlag::UseProxy) != 0,
            (flags & ConnectionFlag::ProxyCredentials) != 0, (flags & ConnectionFlag::Offline) != 0};
}

uint16_t FlagsOfBoxes(uint16_t opened, const ConnectionBoxes& boxes)
{
    uint16_t flags = opened & kKeptBits;
    if (boxes.plainHttp)
        flags |= ConnectionFlag::PlainHttp;
    if (boxes.offline)
        flags |= ConnectionFlag::Offline;
    if (boxes.proxy)
        flags |= ConnectionFlag::UseProxy;
    if (boxes.credentials)
        flags |= ConnectionFlag::ProxyCredentials;
    return flags;
}

ProxyParts SplitProxyAddress(std::string_view address)
{
    const size_t colon = address.rfind(':');
    if (colon == std::string_view::npos)
        return {"", Cut(address, kMaxPortText)};
    return {std::string(address.substr(0, colon)), Cut(address.substr(colon + 1), kMaxPortText)};
}

std::string JoinProxyAddress(std::string_view host, std::string_view port)
{
    return Cut(std::string(host) + ":" + std::string(port), kMaxProxyText);
}

ConnectionEnabling EnablingOf(const ConnectionBoxes& boxes)
{
    ConnectionEnabling e;
    e.scheme = !boxes.offline;
    e.proxyFields = e.scheme && boxes.proxy;
    e.credentials = e.proxyFields && boxes.credentials;
    return e;
}

StoredConnection StoredConnection::Current()
{
    return Config().Read([](const ConfigValues& v) {
        return StoredConnection{v.ConnectionFlags, v.ProxyAddress, v.ProxyUser, v.ProxyPassword};
    });
}

void StoredConnection::Restore() const
{
    Config().Update([this](ConfigValues& v) {
        v.ConnectionFlags = flags;
        v.ProxyAddress = proxyAddress;
        v.ProxyUser = proxyUser;
        v.ProxyPassword = proxyPassword;
    });
}

ConnectionEditor::ConnectionEditor(const ConnectionControls& controls, QObject* parent)
    : QObject(parent), c_(controls), opened_(StoredConnection::Current())
{
    appliedProxy_ = SplitProxyAddress(opened_.proxyAddress);
    appliedUser_ = opened_.proxyUser;
    appliedPassword_ = opened_.proxyPassword;
    c_.v4proxy->setText(Cp1250ToQString(appliedProxy_.host));
    c_.v4port->setText(Cp1250ToQString(appliedProxy_.port));
    c_.v4name->setText(Cp1250ToQString(appliedUser_));
    c_.v4pass->setText(Cp1250ToQString(appliedPassword_));
    c_.v4pass->setEchoMode(QLineEdit::Password);
    const ConnectionBoxes boxes = BoxesOfFlags(opened_.flags);
    c_.c4http->setChecked(boxes.plainHttp);
    c_.c4off->setChecked(boxes.offline);
    c_.c4proxy->setChecked(boxes.proxy);
    c_.c4name->setChecked(boxes.credentials);
    c_.c4pass->setChecked(false);
    EnableControls();

    connect(c_.c4http, &QCheckBox::clicked, this, &ConnectionEditor::SchemeClicked);
    for (QCheckBox* box : {c_.c4proxy, c_.c4name, c_.c4off})
        connect(box, &QCheckBox::clicked, this, &ConnectionEditor::BoxClicked);
    connect(c_.c4pass, &QCheckBox::clicked, this, &ConnectionEditor::ShowPasswordClicked);
    for (QLineEdit* edit : {c_.v4proxy, c_.v4port})
        connect(edit, &QLineEdit::editingFinished, this, &ConnectionEditor::ProxyEdited);
    for (QLineEdit* edit : {c_.v4name, c_.v4pass})
        connect(edit, &QLineEdit::editingFinished, this, &ConnectionEditor::CredentialsEdited);
}

ConnectionBoxes ConnectionEditor::Boxes() const
{
    return {c_.c4http->isChecked(), c_.c4proxy->isChecked(), c_.c4name->isChecked(), c_.c4off->isChecked()};
}

void ConnectionEditor::EnableControls()
{
    const ConnectionEnabling e = EnablingOf(Boxes());
    c_.c4http->setEnabled(e.scheme);
    c_.c4proxy->setEnabled(e.scheme);
    for (QWidget* w :
         std::initializer_list<QWidget*>{c_.t4proxy, c_.v4proxy, c_.t4port, c_.v4port, c_.c4name})
        w->setEnabled(e.proxyFields);
    for (QWidget* w : std::initializer_list<QWidget*>{c_.v4name, c_.t4pass, c_.v4pass, c_.c4pass})
        w->setEnabled(e.credentials);
}

void ConnectionEditor::SchemeClicked(bool checked)
{
    // The scheme follows bit 0x10 (ConfigValues::UrlScheme).
    SetBit(ConnectionFlag::PlainHttp, checked);
}

void ConnectionEditor::BoxClicked()
{
    EnableControls();
    const ConnectionBoxes boxes = Boxes();
    SetBit(ConnectionFlag::UseProxy, boxes.proxy);
    SetBit(ConnectionFlag::ProxyCredentials, boxes.credentials);
    SetBit(ConnectionFlag::Offline, boxes.offline);
}

void ConnectionEditor::ShowPasswordClicked(bool checked)
{
    c_.v4pass->setEchoMode(checked ? QLineEdit::Normal : QLineEdit::Password);
}

void ConnectionEditor::ProxyEdited()
{
    appliedProxy_ = {TextOf(c_.v4proxy), TextOf(c_.v4port)};
    const std::string address = JoinProxyAddress(appliedProxy_.host, appliedProxy_.port);
    Config().Update([&](ConfigValues& v) { v.ProxyAddress = address; });
    edited_ = true;
}

void ConnectionEditor::CredentialsEdited()
{
    appliedUser_ = TextOf(c_.v4name);
    appliedPassword_ = TextOf(c_.v4pass);
    Config().Update([this](ConfigValues& v) {
        v.ProxyUser = Cut(appliedUser_, kMaxProxyText);
        v.ProxyPassword = appliedPassword_;
    });
    edited_ = true;
}

void ConnectionEditor::ApplyChangedEdits()
{
    if (ProxyParts{TextOf(c_.v4proxy), TextOf(c_.v4port)} != appliedProxy_)
        ProxyEdited();
    if (TextOf(c_.v4name) != appliedUser_ || TextOf(c_.v4pass) != appliedPassword_)
        CredentialsEdited();
}

bool ConnectionEditor::Confirm(bool refetchAlways)
{
    ApplyChangedEdits();
    const uint16_t flags = FlagsOfBoxes(opened_.flags, Boxes());
    Config().Update([flags](ConfigValues& v) { v.ConnectionFlags = flags; });
    const bool save = flags != opened_.flags || edited_;
    if (save)
        SaveConfig(true);
    const StoredConnection now = StoredConnection::Current();
    const bool changed = now.flags != opened_.flags || now.proxyAddress != opened_.proxyAddress ||
                         now.proxyUser != opened_.proxyUser || now.proxyPassword != opened_.proxyPassword;
    if (!refetchAlways && !changed)
        return save;
    // The next check fetches the list again, under the new settings.
    UpdateSharedValues& shared = UpdateShared();
    shared.serverListReady = false;
    shared.serverListFetchStarted = false;
    shared.SetServerList(shared.ServerListText(), std::string());
    return save;
}

void ConnectionEditor::Restore() const
{
    opened_.Restore();
}
