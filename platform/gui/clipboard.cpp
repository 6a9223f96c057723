#include "platform/gui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

const QString kRtfTypes[] = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};

} // namespace

void SetClipboardRtfAndText(std::string_view rtf, const QString& plain)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return;
    auto* data = new QMimeData;
    const QByteArray bytes(rtf.data(), static_cast<qsizetype>(rtf.size()));
    for (const QString& type : kRtfTypes)
        data->setData(type, bytes);
    data->setText(plain);
    clipboard->setMimeData(data); // the clipboard owns it from here
}

void SetClipboardText(const QString& plain)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return;
    auto* data = new QMimeData;
    data->setText(plain);
    clipboard->setMimeData(data);
}

bool ClipboardRtf(std::string& out)
{
    out.clear();
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (data == nullptr)
        return false;
    for (const QString& type : kRtfTypes) {
        if (data->hasFormat(type)) {
            const QByteArray bytes = data->data(type);
            out.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
            return true;
        }
    }
    return false;
}

QString ClipboardText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}
