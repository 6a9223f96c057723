#include "frame/windows/data_form.h"

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/report_hook.h"
#include "frame/windows/data_form_private.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"

using data_form_detail::AssertMainThread;
using data_form_detail::IsLive;

TExportFile ExportFile;
uint16_t ExportFormat = ExportFormatCode::Rtf;

namespace {
constexpr size_t kExportBufferSize = 1 << 16;
}

void TExportFile::Assign(std::string path)
{
    Abandon();
    path_ = std::move(path);
    opened_ = false;
    failed_ = false;
    errorText_.clear();
    failedStep_ = FileSaver::Step::None;
}

bool TExportFile::Rewrite()
{
    Abandon();
    opened_ = true;
    failed_ = false;
    errorText_.clear();
    failedStep_ = FileSaver::Step::None;
    saver_ = std::make_unique<FileSaver>(path_, ops_ != nullptr ? *ops_ : RealFileSystem());
    buffer_.clear();
    buffer_.reserve(kExportBufferSize);
    if (saver_->HasError()) {
        NoteFailure();
        saver_.reset();
        return false;
    }
    return true;
}

void TExportFile::NoteFailure()
{
    if (failed_ || !saver_)
        return;
    failed_ = true;
    errorText_ = saver_->ErrorText();
    failedStep_ = saver_->FailedStep();
}

void TExportFile::Flush()
{
    if (!saver_ || buffer_.empty())
        return;
    if (!saver_->Write(buffer_))
        NoteFailure();
    buffer_.clear();
}

bool TExportFile::Write(std::string_view bytes)
{
    if (!saver_ || failed_)
        return false;
    if (buffer_.size() + bytes.size() > kExportBufferSize) {
        Flush();
        if (failed_)
            return false;
        if (bytes.size() >= kExportBufferSize) {
            if (!saver_->Write(bytes)) {
                NoteFailure();
                return false;
            }
            return true;
        }
    }
    buffer_.append(bytes);
    return true;
}

bool TExportFile::Close()
{
    if (!saver_)
        return opened_ && !failed_;
    Flush();
    if (!failed_ && !saver_->Commit())
        NoteFailure();
    saver_.reset(); // an uncommitted temporary file goes with it
    buffer_.clear();
    return !failed_;
}

void TExportFile::Abandon()
{
    saver_.reset();
    buffer_.clear();
}

uint16_t ExportFormatOfPath(std::string_view path)
{
    if (path.size() < 3)
        return ExportFormatCode::Rtf;
    const std::string last = AsciiLower(path.substr(path.size() - 3));
    if (last == "txt")
        return ExportFormatCode::Text;
    if (last == "csv")
        return ExportFormatCode::Csv;
    return ExportFormatCode::Rtf;
}

void TDataForm::Exportuj()
{
    if (!ExportFile.Rewrite())
        return;
    const std::string title = KamToWin(Title + Subtitle);
    switch (ExportFormat) {
    case ExportFormatCode::Text: ExportFile.Write(title + "\r\n\r\n"); break;
    case ExportFormatCode::Csv: break;
    default: {
        const ConfigFont font = Config().Read([](const ConfigValues& v) { return v.PrintFont; });
        std::string head = RtfHead(font);
        head += "{\\*\\Exported from KALVO}";
        head += "{\\b ";
        AppendRtfEscaped(head, title);
        head += " \\par}\\pard\r\n";
        ExportFile.Write(head);
        break;
    }
    }
}

bool ExportDataWindow(TDataForm* form, const std::string& path)
{
    AssertMainThread("ExportDataWindow");
    if (form == nullptr)
        return false;
    ExportFormat = ExportFormatOfPath(path);
    ExportFile.Assign(path);
    try {
        form->Exportuj();
    } catch (...) {
        ExportFile.Abandon();
        throw;
    }
    if (!ExportFile.WasOpened())
        return false;
    if (ExportFile.Close())
        return true;
    std::string text = LookupText(UiTexts, "Chyby", "FileSave");
    text += QStringToKam(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    text += " (" + QStringToKam(QString::fromUtf8(ExportFile.ErrorText().c_str())) + ")";
    ReportError(text);
    return false;
}

bool ExportActiveWindow(const std::string& path)
{
    TDataForm* active = ActiveDataForm();
    if (!IsLive(active))
        return false;
    return ExportDataWindow(active, path);
}

// --------------------------------------------------------------------- RTF

void AppendRtfEscaped(std::string& out, std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '{' || ch == '}') {
            out += '\\';
            out += ch;
        } else if (b < 32 || b >= 128) {
            out += "\\'";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += ch;
        }
    }
}

std::string RtfEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    AppendRtfEscaped(out, text);
    return out;
}

std::string RtfHead(const ConfigFont& font)
{
    std::string head = "{\\rtf1\\ansi\\ansicpg1250 \\deff0{\\fonttbl {\\f0\\fnil\\fcharset238 ";
    AppendRtfEscaped(head, font.name);
    head += ";}}\\fs";
    head += std::to_string(2 * font.size);
    head += "\r\n";
    return head;
}
