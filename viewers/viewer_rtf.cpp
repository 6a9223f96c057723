#include "viewers/viewer_rtf.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include "frame/windows/data_form.h"
#include "platform/cp1250.h"

namespace {

// The width of a table in twips (a portrait page less its margins).
constexpr int kTableTwips = 9600;

void AppendText(std::string& out, const QString& text)
{
    QString chunk;
    const auto flush = [&]() {
        AppendRtfEscaped(out, QStringToCp1250(chunk));
        chunk.clear();
    };
    for (const QChar c : text) {
        if (c == QChar::ObjectReplacementCharacter)
            continue; // a picture has no text
        if (c == QChar::LineSeparator || c == QChar('\n')) {
            flush();
            out.append("\\line ");
        } else if (c == QChar::Nbsp) {
            flush();
            out.append("\\~");
        } else {
            chunk.append(c);
        }
    }
    flush();
}

// The runs of one paragraph with their character styles.
void AppendRuns(std::string& out, const QTextBlock& block, bool heading)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.isValid())
            continue;
        const QTextCharFormat cf = f.charFormat();
        std::string open;
        if (heading || cf.fontWeight() >= QFont::DemiBold)
            open.append("\\b");
        if (cf.fontItalic())
            open.append("\\i");
        if (cf.fontUnderline())
            open.append("\\ul");
        if (cf.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            open.append("\\super");
        else if (cf.verticalAlignment() == QTextCharFormat::AlignSubScript)
            open.append("\\sub");
        if (open.empty()) {
            AppendText(out, f.text());
        } else {
            out.append("{" + open + " ");
            AppendText(out, f.text());
            out.append("}");
        }
    }
}

void AppendBlock(std::string& out, const QTextBlock& block, bool inTable)
{
    const QTextBlockFormat bf = block.blockFormat();
    const int level = bf.headingLevel();
    if (!inTable) {
        if (level > 0)
            out.append("{"); // the heading's size ends with its group
        out.append("\\pard");
        if (level > 0) {
            // h1 28 pt down to h4 14 pt, in half points.
            const int sizes[] = {56, 40, 32, 28, 24, 22};
            out.append("\\sb120\\fs" + std::to_string(sizes[std::min(level, 6) - 1]));
        }
        if (QTextList* list = block.textList()) {
            const int indent = 360 * std::max(1, list->format().indent());
            out.append("\\li" + std::to_string(indent) + "\\fi-240 ");
            const QString label = list->itemText(block);
            if (label.isEmpty())
                out.append("\\bullet");
            else
                AppendText(out, label);
            out.append("\\tab");
        }
        out.append(" ");
    }
    AppendRuns(out, block, level > 0);
    if (!inTable)
        out.append(level > 0 ? "\\par}\r\n" : "\\par\r\n");
}

void AppendFrame(std::string& out, QTextFrame* frame, bool inTable);

// The blocks of a cell, joined by line breaks.
void AppendCell(std::string& out, const QTextTableCell& cell)
{
    bool first = true;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            AppendFrame(out, child, true);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        if (!block.isValid())
            continue;
        if (!first)
            out.append("\\line ");
        first = false;
        AppendBlock(out, block, true);
    }
}

void AppendTable(std::string& out, QTextTable* table)
{
    const int columns = table->columns();
    if (columns <= 0)
        return;
    // Column edges from the widths the page gave, else equal columns.
    const QList<QTextLength> constraints = table->format().columnWidthConstraints();
    std::vector<int> edges(static_cast<size_t>(columns));
    int x = 0;
    for (int c = 0; c < columns; ++c) {
        int w = kTableTwips / columns;
        if (c < constraints.size() && constraints[c].type() == QTextLength::PercentageLength &&
            constraints[c].rawValue() > 0)
            w = static_cast<int>(kTableTwips * constraints[c].rawValue() / 100);
        x += std::max(w, 100);
        edges[static_cast<size_t>(c)] = x;
    }
    for (int r = 0; r < table->rows(); ++r) {
        out.append("\\trowd\\trgaph70");
        std::string cells;
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = table->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            if (cell.row() == r && cell.column() == c) {
                out.append("\\cellx" +
                           std::to_string(edges[static_cast<size_t>(std::min(columns, c + span) - 1)]));
                cells.append("\\pard\\intbl ");
                AppendCell(cells, cell);
                cells.append("\\cell\r\n");
            } else {
                // A cell covered from the row above: an empty one in its place.
                out.append("\\cellx" +
                           std::to_string(edges[static_cast<size_t>(std::min(columns, c + span) - 1)]));
                cells.append("\\pard\\intbl \\cell\r\n");
            }
            c += cell.column() == c ? span : 1;
        }
        out.append("\r\n");
        out.append(cells);
        out.append("\\row\r\n");
    }
    out.append("\\pard\r\n");
}

void AppendFrame(std::string& out, QTextFrame* frame, bool inTable)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame()) {
            if (auto* table = qobject_cast<QTextTable*>(child)) {
                if (inTable)
                    AppendText(out, QStringLiteral(" "));
                else
                    AppendTable(out, table);
            } else {
                AppendFrame(out, child, inTable);
            }
            continue;
        }
        const QTextBlock block = it.currentBlock();
        if (block.isValid())
            AppendBlock(out, block, inTable);
    }
}

} // namespace

std::string DocumentToRtf(const QTextDocument& document, std::string_view head)
{
    std::string out(head);
    AppendFrame(out, document.rootFrame(), false);
    out.append(kRtfTail);
    return out;
}
