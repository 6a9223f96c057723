#include "platform/gui/print_job.h"

#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

PrintJob::~PrintJob() = default;

// ------------------------------------------------------------ PrinterPrintJob

PrinterPrintJob::PrinterPrintJob() = default;

PrinterPrintJob::~PrinterPrintJob()
{
    End();
    canvas_.reset();
}

QPrinter& PrinterPrintJob::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void PrinterPrintJob::SetOutputFile(const QString& path)
{
    QPrinter& p = Printer();
    if (path.isEmpty()) {
        p.setOutputFormat(QPrinter::NativeFormat);
        p.setOutputFileName(QString());
    } else {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(path);
    }
}

void PrinterPrintJob::SetTitle(const QString& title)
{
    title_ = title;
}

Canvas& PrinterPrintJob::Surface()
{
    if (!canvas_)
        canvas_ = std::make_unique<PainterCanvas>(&Printer(), Printer().resolution());
    return *canvas_;
}

bool PrinterPrintJob::Begin(std::string& error)
{
    if (open_)
        return true;
    QPrinter& p = Printer();
    const QString file = p.outputFileName();
    if (file.isEmpty() &&
        (p.outputFormat() == QPrinter::PdfFormat || QPrinterInfo::availablePrinterNames().isEmpty())) {
        error = "no printer is installed";
        return false;
    }
    if (!file.isEmpty()) {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly)) {
            error = probe.errorString().toStdString();
            return false;
        }
        probe.close();
    }
    p.setDocName(title_);
    p.setCreator(title_);
    Canvas& c = Surface();
    // The painter, and with it the job, starts at the first drawing call; an
    // empty text over a clear brush starts it without drawing anything.
    const CanvasBrush brush = c.State().brush;
    c.SetBrushStyle(BrushStyle::Clear);
    c.TextRect(Rect{0, 0, 1, 1}, 0, 0, std::string_view());
    c.SetBrush(brush.colour, brush.style);
    if (!p.paintingActive() || p.printerState() == QPrinter::Error || p.printerState() == QPrinter::Aborted) {
        canvas_->EndPaint();
        error = "the printer did not accept the job";
        return false;
    }
    open_ = true;
    return true;
}

void PrinterPrintJob::NewPage()
{
    if (open_)
        Printer().newPage();
}

bool PrinterPrintJob::End()
{
    if (!open_)
        return true;
    open_ = false;
    canvas_->EndPaint();
    return Printer().printerState() != QPrinter::Error;
}

int PrinterPrintJob::PageWidth()
{
    return Printer().width();
}

int PrinterPrintJob::PageHeight()
{
    return Printer().height();
}

bool PrinterPrintJob::Setup(QWidget* parent)
{
    End();
    QPrintDialog dialog(&Printer(), parent);
    return dialog.exec() == QDialog::Accepted;
}

// ----------------------------------------------------------- RecordingPrintJob

RecordingPrintJob::RecordingPrintJob(int pageWidth, int pageHeight)
    : pageWidth_(pageWidth), pageHeight_(pageHeight)
{}

int RecordingPrintJob::JobsBegun() const
{
    int n = 0;
    for (const Event& e : events_)
        n += e.kind == Event::Kind::Begin;
    return n;
}

void RecordingPrintJob::Clear()
{
    events_.clear();
    canvas_.Clear();
}

bool RecordingPrintJob::Begin(std::string& error)
{
    if (open_)
        return true;
    if (!failReason_.empty()) {
        error = failReason_;
        failReason_.clear();
        return false;
    }
    events_.push_back({Event::Kind::Begin, title_, canvas_.Calls().size()});
    open_ = true;
    return true;
}

void RecordingPrintJob::NewPage()
{
    if (open_)
        events_.push_back({Event::Kind::NewPage, QString(), canvas_.Calls().size()});
}

bool RecordingPrintJob::End()
{
    if (!open_)
        return true;
    open_ = false;
    events_.push_back({Event::Kind::End, QString(), canvas_.Calls().size()});
    return true;
}

bool RecordingPrintJob::Setup(QWidget*)
{
    events_.push_back({Event::Kind::Setup, QString(), canvas_.Calls().size()});
    return true;
}
