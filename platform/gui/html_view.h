#pragma once
// The HTML viewer's browser: a QTextBrowser behind the few operations the
// viewer needs.  Pages come as code page 1250 bytes; links are never
// followed by the view itself (the owner gets linkActivated); pictures are
// read from local files or fetched on a worker through a hook the owner
// sets; the context menu is off.
//
// Qt's rich text ignores <col> and keeps a title attribute only as a tool
// tip of the text it covers: LoadPage applies each table's column widths
// to its column constraints, and the view shows the tool tip of the text
// under the mouse.
//
// Main thread only (the picture fetch runs on a worker and hands its bytes
// back to the main thread).

#include <QPointer>
#include <QTextBrowser>
#include <QTextEdit>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class Canvas;
class QMimeData;

class HtmlView : public QTextBrowser {
    Q_OBJECT
public:
    // Fetches the bytes of an http(s) picture; runs on a worker thread.
    using PictureFetch = std::function<bool(const std::string& url, std::string& bytes)>;

    explicit HtmlView(QWidget* parent = nullptr);
    ~HtmlView() override;

    // Loads a page: code page 1250 bytes.  `tableColumns` are the column
    // widths in percent of each table in document order.  Drops the
    // highlighting of the page before.
    void LoadPage(std::string_view page, const std::vector<std::vector<int>>& tableColumns = {});
    // Empties the view.
    void ClearPage();
    bool HasPage() const { return hasPage_; }

    // Anchor names of the page in document order.
    QStringList AnchorNames() const;
    bool HasAnchor(const QString& name) const;
    // Scrolls so that the anchor is at the top; false (nothing moves) when
    // the page has no anchor of that name.
    bool ScrollToAnchorName(const QString& name);

    // Highlights every occurrence of `text` (case-insensitive) in lime and
    // bold until the next page; the number found.
    int HighlightAll(const QString& text);
    int HighlightCount() const { return static_cast<int>(highlights_.size()); }

    bool HasSelection() const;
    void SelectEverything();
    void ClearSelection();
    // The selection (the whole page when `wholeWhenEmpty` and there is none)
    // as text/plain, text/html, text/rtf and application/rtf.
    QMimeData* SelectionMimeData(bool wholeWhenEmpty) const;
    // Plain text of the whole page.
    QString PageText() const;

    // Prints the page through `canvas` in pages of `pageWidth` x
    // `pageHeight` (the canvas's units), the first page starting at
    // `firstTop`; `newPage` starts the next page.  Lines are never cut across
    // pages.  Returns the height used on the last page.
    int Print(Canvas& canvas, int pageWidth, int pageHeight, int firstTop,
              const std::function<void()>& newPage) const;

    void SetPictureFetch(PictureFetch fetch) { fetch_ = std::move(fetch); }
    // Writes a document as RTF for the clipboard (the viewer's writer).
    using RtfWriter = std::function<std::string(const QTextDocument& document)>;
    void SetRtfWriter(RtfWriter writer) { rtfWriter_ = std::move(writer); }
    // Picture fetches still running (tests wait for them).
    int PendingFetches() const { return pending_; }

    // Input off without greying the page (a disabled widget would).
    void SetInputEnabled(bool on) { inputEnabled_ = on; }
    bool InputEnabled() const { return inputEnabled_; }

    QVariant loadResource(int type, const QUrl& name) override;

signals:
    // A link was clicked (never followed by the view).
    void linkActivated(const QString& url);
    // The text the mouse is over changed its tool tip ("" when none).
    void toolTipChanged(const QString& tip);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void ApplyColumnWidths(const std::vector<std::vector<int>>& tableColumns);
    void PictureFetched(const QUrl& url, const QByteArray& bytes, int generation);

    PictureFetch fetch_;
    RtfWriter rtfWriter_;
    std::vector<QTextEdit::ExtraSelection> highlights_;
    bool hasPage_ = false;
    bool inputEnabled_ = true;
    int pending_ = 0;
    int generation_ = 0; // a page load makes earlier fetches stale
    QString lastTip_;
};
