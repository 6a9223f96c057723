#include "platform/gui/html_view.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QThreadPool>
#include <QToolTip>
#include <QUrl>

#include "platform/cp1250.h"
#include "platform/gui/canvas.h"
#include "platform/gui/picture.h"

namespace {

// Tables of the document in document order (a table inside a cell after
// the table that holds it).
void CollectTables(QTextFrame* frame, std::vector<QTextTable*>& out)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            out.push_back(table);
        CollectTables(child, out);
    }
}

// A transparent stand-in, scaled by the page's width and height attributes
// to an empty box of the picture's size.
QImage EmptyPicture()
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { emit linkActivated(url.toString()); });
}

HtmlView::~HtmlView() = default;

void HtmlView::LoadPage(std::string_view page, const std::vector<std::vector<int>>& tableColumns)
{
    ++generation_;
    highlights_.clear();
    setExtraSelections({});
    setHtml(Cp1250ToQString(page));
    ApplyColumnWidths(tableColumns);
    hasPage_ = true;
    moveCursor(QTextCursor::Start);
    verticalScrollBar()->setValue(0);
}

void HtmlView::ClearPage()
{
    ++generation_;
    highlights_.clear();
    setExtraSelections({});
    clear();
    hasPage_ = false;
}

void HtmlView::ApplyColumnWidths(const std::vector<std::vector<int>>& tableColumns)
{
    std::vector<QTextTable*> tables;
    CollectTables(document()->rootFrame(), tables);
    for (size_t i = 0; i < tables.size() && i < tableColumns.size(); ++i) {
        const std::vector<int>& widths = tableColumns[i];
        if (widths.empty())
            continue;
        QTextTableFormat format = tables[i]->format();
        QList<QTextLength> constraints;
        for (int c = 0; c < tables[i]->columns(); ++c)
            constraints.append(
                static_cast<size_t>(c) < widths.size()
                    ? QTextLength(QTextLength::PercentageLength, widths[static_cast<size_t>(c)])
                    : QTextLength(QTextLength::VariableLength, 0));
        format.setColumnWidthConstraints(constraints);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tables[i]->setFormat(format);
    }
}

QStringList HtmlView::AnchorNames() const
{
    QStringList names;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid())
                for (const QString& n : f.charFormat().anchorNames())
                    if (!names.contains(n))
                        names.append(n);
        }
    return names;
}

bool HtmlView::HasAnchor(const QString& name) const
{
    return !name.isEmpty() && AnchorNames().contains(name);
}

bool HtmlView::ScrollToAnchorName(const QString& name)
{
    if (!HasAnchor(name))
        return false;
    scrollToAnchor(name);
    return true;
}

int HtmlView::HighlightAll(const QString& text)
{
    highlights_.clear();
    if (!text.isEmpty()) {
        QTextCharFormat format;
        format.setBackground(QColor(0, 255, 0));
        format.setFontWeight(QFont::Bold);
        QTextCursor cursor(document());
        for (;;) {
            cursor = document()->find(text, cursor);
            if (cursor.isNull())
                break;
            QTextEdit::ExtraSelection s;
            s.cursor = cursor;
            s.format = format;
            highlights_.push_back(s);
        }
    }
    setExtraSelections(QList<QTextEdit::ExtraSelection>(highlights_.begin(), highlights_.end()));
    return static_cast<int>(highlights_.size());
}

bool HtmlView::HasSelection() const
{
    return textCursor().hasSelection();
}

void HtmlView::SelectEverything()
{
    selectAll();
}

void HtmlView::ClearSelection()
{
    QTextCursor c = textCursor();
    c.clearSelection();
    setTextCursor(c);
}

QString HtmlView::PageText() const
{
    return document()->toPlainText();
}

QMimeData* HtmlView::SelectionMimeData(bool wholeWhenEmpty) const
{
    QTextDocumentFragment fragment = textCursor().selection();
    if (fragment.isEmpty() && wholeWhenEmpty)
        fragment = QTextDocumentFragment(document());
    auto* data = new QMimeData;
    data->setText(fragment.toPlainText());
    data->setHtml(fragment.toHtml());
    if (rtfWriter_) {
        QTextDocument copy;
        QTextCursor(&copy).insertFragment(fragment);
        const std::string rtf = rtfWriter_(copy);
        const QByteArray bytes(rtf.data(), static_cast<qsizetype>(rtf.size()));
        data->setData("text/rtf", bytes);
        data->setData("application/rtf", bytes);
    }
    return data;
}

int HtmlView::Print(Canvas& canvas, int pageWidth, int pageHeight, int firstTop,
                    const std::function<void()>& newPage) const
{
    if (pageWidth <= 0 || pageHeight <= 0)
        return firstTop;
    QPainter* painter = canvas.NativePainter();
    if (!painter) {
        // A canvas without Qt's painter gets the text line by line.
        const int line = std::max(1, canvas.TextHeight("0"));
        int y = firstTop;
        const QStringList lines = document()->toPlainText().split(QChar('\n'));
        for (const QString& l : lines) {
            if (y + line > pageHeight && y > 0) {
                newPage();
                y = 0;
            }
            canvas.TextOut(0, y, QStringToCp1250(l));
            y += line;
        }
        return y;
    }

    // A copy laid out for the device in pages: Qt's pagination moves a line
    // that would cross a page's end to the next page.  The first page keeps
    // room above for what was printed before.
    std::unique_ptr<QTextDocument> doc(document()->clone());
    doc->documentLayout()->setPaintDevice(painter->device());
    QTextFrameFormat root = doc->rootFrame()->frameFormat();
    root.setMargin(0);
    root.setTopMargin(std::min(firstTop, pageHeight - 1));
    doc->rootFrame()->setFrameFormat(root);
    doc->setPageSize(QSizeF(pageWidth, pageHeight));
    const int pages = std::max(1, doc->pageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            newPage();
        painter->save();
        const QRectF clip(0, page * pageHeight, pageWidth, pageHeight);
        painter->translate(0, -page * pageHeight);
        painter->setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc->documentLayout()->draw(painter, context);
        painter->restore();
    }
    const int height = static_cast<int>(doc->documentLayout()->documentSize().height());
    return std::min(pageHeight, height - (pages - 1) * pageHeight);
}

QVariant HtmlView::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::ImageResource)
        return QTextBrowser::loadResource(type, name);
    if (name.isLocalFile()) {
        QImage image;
        std::string error;
        const QString path = name.toLocalFile();
        const std::string format = path.section('.', -1).toLower().toStdString();
        if (LoadPicture(path.toStdString(), format, image, error))
            return image;
        return EmptyPicture();
    }
    const QString scheme = name.scheme().toLower();
    if ((scheme == "http" || scheme == "https") && fetch_) {
        ++pending_;
        const int generation = generation_;
        QPointer<HtmlView> self(this);
        PictureFetch fetch = fetch_;
        const std::string url = name.toString().toStdString();
        QThreadPool::globalInstance()->start([self, fetch, url, name, generation]() {
            std::string bytes;
            const bool ok = fetch(url, bytes);
            const QByteArray data =
                ok ? QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())) : QByteArray();
            // Back on the main thread, if the window still lives.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, name, data, generation]() {
                    if (self)
                        self->PictureFetched(name, data, generation);
                },
                Qt::QueuedConnection);
        });
    }
    return EmptyPicture();
}

void HtmlView::PictureFetched(const QUrl& url, const QByteArray& bytes, int generation)
{
    --pending_;
    if (generation != generation_ || bytes.isEmpty())
        return;
    QImage image;
    std::string error;
    const std::string format = url.path().section('.', -1).toLower().toStdString();
    if (!LoadPictureFromBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), format,
                              image, error, url.toString().toStdString()))
        return;
    document()->addResource(QTextDocument::ImageResource, url, image);
    // Lay the page out again with the picture in place.
    document()->markContentsDirty(0, document()->characterCount());
    viewport()->update();
}

void HtmlView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}

bool HtmlView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint inViewport = viewport()->mapFromGlobal(help->globalPos());
        const QString tip = cursorForPosition(inViewport).charFormat().toolTip();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QTextBrowser::event(event);
}

void HtmlView::keyPressEvent(QKeyEvent* event)
{
    if (!inputEnabled_)
        return;
    QTextBrowser::keyPressEvent(event);
}

void HtmlView::mousePressEvent(QMouseEvent* event)
{
    if (!inputEnabled_)
        return;
    QTextBrowser::mousePressEvent(event);
}

void HtmlView::mouseMoveEvent(QMouseEvent* event)
{
    QTextBrowser::mouseMoveEvent(event);
    const QString tip = cursorForPosition(event->position().toPoint()).charFormat().toolTip();
    if (tip != lastTip_) {
        lastTip_ = tip;
        emit toolTipChanged(tip);
    }
}
