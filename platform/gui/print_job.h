#pragma once
// One print job that stays open across several prints.
//
// Printing draws through a Canvas (platform/gui/canvas.h) in printer pixels: text
// placed by its top-left corner, pages PageWidth() x PageHeight().  The job
// begins with Begin (its title is the one set before), goes on with NewPage
// and ends with End.  PrinterPrintJob is the real one (QPrinter with one
// QPainter through a PainterCanvas; a PDF file when an output file is set);
// RecordingPrintJob lists what happened, for tests.
//
// Main thread only.

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/canvas.h"
#include "platform/gui/recording_canvas.h"

class QPrinter;
class QWidget;

class PrintJob {
public:
    virtual ~PrintJob();

    virtual bool IsOpen() const = 0;
    // The job's title as the print queue shows it; takes effect at the next
    // Begin.
    virtual void SetTitle(const QString& title) = 0;
    // Starts the job.  False, with the reason (UTF-8) in `error`, when it
    // cannot start (no printer, the output file cannot be written).
    virtual bool Begin(std::string& error) = 0;
    // Ends the current page and starts the next one.
    virtual void NewPage() = 0;
    // Ends the job (the document goes to the printer); nothing when no job
    // is open.  False when the printer reported a failure.
    virtual bool End() = 0;
    // The canvas to draw on (and to measure with, also outside a job).
    virtual Canvas& Surface() = 0;
    // The printable page in printer pixels.
    virtual int PageWidth() = 0;
    virtual int PageHeight() = 0;
    // The printer set-up dialog; false when it was cancelled.  Never called
    // while a job is open.
    virtual bool Setup(QWidget* parent) = 0;
};

class PrinterPrintJob : public PrintJob {
public:
    PrinterPrintJob();
    ~PrinterPrintJob() override;

    // A PDF file instead of the printer (tests, "print to file"); an empty
    // path goes back to the system's default printer.
    void SetOutputFile(const QString& path);
    QPrinter& Printer();

    bool IsOpen() const override { return open_; }
    void SetTitle(const QString& title) override;
    bool Begin(std::string& error) override;
    void NewPage() override;
    bool End() override;
    Canvas& Surface() override;
    int PageWidth() override;
    int PageHeight() override;
    bool Setup(QWidget* parent) override;

private:
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<PainterCanvas> canvas_;
    QString title_;
    bool open_ = false;
};

class RecordingPrintJob : public PrintJob {
public:
    struct Event {
        enum class Kind { Begin, NewPage, End, Setup } kind;
        QString title;      // Begin: the job's title
        size_t canvasCalls; // how many canvas calls were made before it
    };

    RecordingPrintJob(int pageWidth = 2000, int pageHeight = 2800);

    // Makes the next Begin fail with this reason (empty: succeed).
    void FailNextBegin(std::string reason) { failReason_ = std::move(reason); }
    const std::vector<Event>& Events() const { return events_; }
    int JobsBegun() const;
    RecordingCanvas& Recorder() { return canvas_; }
    void Clear();

    bool IsOpen() const override { return open_; }
    void SetTitle(const QString& title) override { title_ = title; }
    bool Begin(std::string& error) override;
    void NewPage() override;
    bool End() override;
    Canvas& Surface() override { return canvas_; }
    int PageWidth() override { return pageWidth_; }
    int PageHeight() override { return pageHeight_; }
    bool Setup(QWidget* parent) override;

private:
    RecordingCanvas canvas_;
    std::vector<Event> events_;
    std::string failReason_;
    QString title_;
    int pageWidth_;
    int pageHeight_;
    bool open_ = false;
};
