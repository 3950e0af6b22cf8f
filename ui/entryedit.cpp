#include "ui/entryedit.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextObjectInterface>
#include <QToolTip>
#include <algorithm>
#include <array>

#include "core/markup/sentences.h"
#include "ui/application.h"
#include "ui/codec.h"

namespace quillfen {

namespace {

enum class THistoryKey { None, Undo, Redo };

// Matched here rather than through the platform's key bindings, which differ in whether Ctrl+Y
// redoes.
THistoryKey HistoryKeyOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods =
        event.modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Z && mods == Qt::ControlModifier) return THistoryKey::Undo;
    if (event.key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return THistoryKey::Redo;
    if (event.key() == Qt::Key_Y && mods == Qt::ControlModifier) return THistoryKey::Redo;
    return THistoryKey::None;
}

// The document's raw text keeps non-breaking spaces, which toPlainText turns into blanks; a
// paragraph separator can only come from a document put together elsewhere.
QString RawText(const QTextDocument& document) {
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, u' ');
    return text;
}

// A token is the object replacement character with this object type; its properties name the
// placeholder (its index in the sentence's list) and which of its tags it is.
constexpr int kTokenObject = QTextFormat::UserObject + 1;
constexpr int kTokenIndex = QTextFormat::UserProperty + 1;
constexpr int kTokenPart = QTextFormat::UserProperty + 2;
constexpr int kTokenWritten = QTextFormat::UserProperty + 3;
enum TPart { Open, Close, Void };

QString Written(const TEntryPlaceholder& p, int part) {
    if (part == Close) return "</" + p.Name + ">";
    return "<" + p.Name + (part == Void ? "/>" : ">");
}

bool IsToken(QChar c, const QTextFormat& format) {
    return c == QChar::ObjectReplacementCharacter && format.objectType() == kTokenObject;
}

// Draws a token as its written form in a small framed box that sits on the line's baseline; the
// fill lets a selection show through.
class TTokenPainter : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

  public:
    explicit TTokenPainter(QPlainTextEdit* field) : QObject(field), field_(field) {}

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
        const QFontMetricsF label(LabelFont());
        return {label.horizontalAdvance(format.stringProperty(kTokenWritten)) + 6,
                QFontMetricsF(field_->font()).ascent()};
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int position,
                    const QTextFormat& format) override {
        const bool carried = format.intProperty(kTokenPart) == Void;
        // On the selection's fill the token takes the selected text's colour, so that it stays
        // readable on any theme's highlight.
        const QTextCursor selection = field_->textCursor();
        const bool selected = selection.hasSelection() && position >= selection.selectionStart() &&
                              position < selection.selectionEnd();
        const QColor ink = selected  ? field_->palette().color(QPalette::HighlightedText)
                           : carried ? QColor(150, 80, 0)
                                     : QColor(0, 70, 160);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        QColor fill = ink;
        fill.setAlpha(40);
        painter->setBrush(fill);
        painter->setPen(ink);
        painter->drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter->setFont(LabelFont());
        painter->drawText(rect, Qt::AlignCenter, format.stringProperty(kTokenWritten));
        painter->restore();
    }

  private:
    QFont LabelFont() const {
        QFont font = field_->font();
        if (font.pixelSize() > 0)
            font.setPixelSize(std::max(6, font.pixelSize() * 4 / 5));
        else
            font.setPointSizeF(font.pointSizeF() * 0.8);
        return font;
    }

    QPlainTextEdit* field_;
};

}  // namespace

TEntryEdit::TEntryEdit(QWidget* parent) : QPlainTextEdit(parent) {
    // The selection looks the same while another window, a message box say, is active.
    QPalette pal = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    document()->setDocumentMargin(2);
    document()->documentLayout()->registerHandler(kTokenObject, new TTokenPainter(this));
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        Guarded([this] {
            // A line break that came another way than a paste (an input method) goes too.
            if (document()->blockCount() > 1 && tokens_) {
                const int cursor = cursorPosition();
                setText(text());
                setCursorPosition(cursor);
            } else if (document()->blockCount() > 1) {
                const int cursor = cursorPosition();
                QTextCursor all(document());
                all.select(QTextCursor::Document);
                all.insertText(EntryText(RawText(*document())));
                setCursorPosition(std::min(cursor, document()->characterCount() - 1));
            }
            FitHeight();
        });
    });
    FitHeight();
}

QString TEntryEdit::text() const {
    return tokens_ ? TokenText(0, document()->characterCount() - 1) : RawText(*document());
}

void TEntryEdit::setText(const QString& text) {
    if (!tokens_) {
        setPlainText(EntryText(text));
    } else {
        // Turning undo off empties its stacks: the field's own undo starts anew.
        document()->setUndoRedoEnabled(false);
        clear();
        QTextCursor cursor(document());
        InsertTokenText(cursor, EntryText(text));
        document()->setUndoRedoEnabled(true);
    }
    moveCursor(QTextCursor::End);
}

void TEntryEdit::insert(const QString& text) {
    if (!tokens_) {
        insertPlainText(EntryText(text));
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    InsertTokenText(cursor, EntryText(text));
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TEntryEdit::SetPlaceholders(std::vector<TEntryPlaceholder> placeholders, bool tokens) {
    placeholders_ = std::move(placeholders);
    tokens_ = tokens;
}

QString TEntryEdit::TokenText(int from, int to) const {
    // Literal stretches and tokens in order; a literal is escaped knowing what follows it.
    std::vector<std::pair<bool, QString>> parts;
    auto literal = [&parts](const QString& text) {
        if (parts.empty() || parts.back().first) parts.emplace_back(false, QString());
        parts.back().second += text;
    };
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && block.position() - 1 >= from && block.position() <= to)
            literal(QStringLiteral(" "));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString chars = fragment.text();
            const QTextCharFormat format = fragment.charFormat();
            for (int k = 0; k < chars.size(); ++k) {
                const int at = fragment.position() + k;
                if (at < from || at >= to) continue;
                if (IsToken(chars[k], format))
                    parts.emplace_back(true, format.stringProperty(kTokenWritten));
                else
                    literal(QString(chars[k]));
            }
        }
    }
    std::string out;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (parts[k].first)
            out += ToText(parts[k].second);
        else
            AppendSentenceLiteral(out, ToText(parts[k].second), k + 1 < parts.size());
    }
    return FromText(out);
}

void TEntryEdit::InsertToken(QTextCursor& cursor, int placeholder, int part) {
    QTextCharFormat format;
    format.setObjectType(kTokenObject);
    format.setProperty(kTokenIndex, placeholder);
    format.setProperty(kTokenPart, part);
    format.setProperty(kTokenWritten, Written(placeholders_[std::size_t(placeholder)], part));
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
    // What is typed next is text, not a copy of the token's format.
    cursor.setCharFormat(QTextCharFormat());
}

void TEntryEdit::InsertTokenText(QTextCursor& cursor, const QString& text) {
    for (const TSentencePiece& piece : SentencePieces(ToText(text))) {
        int found = -1;
        if (piece.kind != TSentencePiece::Literal) {
            const QString name = FromText(piece.text);
            const bool paired = piece.kind != TSentencePiece::Void;
            for (std::size_t i = 0; i < placeholders_.size() && found < 0; ++i)
                if (placeholders_[i].Name == name && placeholders_[i].Paired == paired)
                    found = int(i);
        }
        if (found >= 0) {
            InsertToken(cursor, found,
                        piece.kind == TSentencePiece::Open    ? Open
                        : piece.kind == TSentencePiece::Close ? Close
                                                              : Void);
        } else {
            // No placeholder of this sentence: the characters as they read.
            cursor.insertText(
                FromText(piece.kind == TSentencePiece::Literal ? piece.text : piece.written),
                QTextCharFormat());
        }
    }
}

bool TEntryEdit::InsertNextPlaceholder() {
    if (!tokens_) return false;
    // Which tags of each placeholder the field holds.
    std::vector<std::array<bool, 3>> held(placeholders_.size(), {false, false, false});
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!IsToken(it.fragment().text().front(), format)) continue;
            const int index = format.intProperty(kTokenIndex);
            if (index >= 0 && std::size_t(index) < held.size())
                held[std::size_t(index)][std::size_t(format.intProperty(kTokenPart))] = true;
        }
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart(), end = cursor.selectionEnd();
    auto missingPair = [&](std::size_t i) {
        return placeholders_[i].Paired && !held[i][Open] && !held[i][Close];
    };
    cursor.beginEditBlock();
    bool done = false;
    if (cursor.hasSelection()) {
        for (std::size_t i = 0; i < placeholders_.size() && !done; ++i) {
            if (!missingPair(i)) continue;
            cursor.setPosition(end);
            InsertToken(cursor, int(i), Close);
            cursor.setPosition(start);
            InsertToken(cursor, int(i), Open);
            cursor.setPosition(end + 2);
            done = true;
        }
        if (!done) cursor.setPosition(end);
    }
    for (std::size_t i = 0; i < placeholders_.size() && !done; ++i) {
        const TEntryPlaceholder& p = placeholders_[i];
        if (missingPair(i)) {
            InsertToken(cursor, int(i), Open);
            const int inside = cursor.position();
            InsertToken(cursor, int(i), Close);
            cursor.setPosition(inside);
        } else if (!p.Paired && !held[i][Void]) {
            InsertToken(cursor, int(i), Void);
        } else if (p.Paired && !held[i][Open]) {
            InsertToken(cursor, int(i), Open);
        } else if (p.Paired && !held[i][Close]) {
            InsertToken(cursor, int(i), Close);
        } else {
            continue;
        }
        done = true;
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
    return done;
}

int TEntryEdit::TokenAt(const QPoint& point, int* part) const {
    const int position = cursorForPosition(point).position();
    for (const int at : {position - 1, position}) {
        if (at < 0 || at >= document()->characterCount() - 1) continue;
        QTextCursor one(document());
        one.setPosition(at);
        one.setPosition(at + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat format = one.charFormat();
        if (!IsToken(one.selectedText().front(), format)) continue;
        QTextCursor left(document()), right(document());
        left.setPosition(at);
        right.setPosition(at + 1);
        const QRect from = cursorRect(left), to = cursorRect(right);
        if (from.top() == to.top() && (point.x() < from.left() || point.x() >= to.left())) continue;
        *part = format.intProperty(kTokenPart);
        return format.intProperty(kTokenIndex);
    }
    return -1;
}

bool TEntryEdit::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && tokens_) {
        auto* help = static_cast<QHelpEvent*>(event);
        int part = 0;
        const int index = TokenAt(help->pos(), &part);
        if (index >= 0 && std::size_t(index) < placeholders_.size() &&
            !placeholders_[std::size_t(index)].Content.isEmpty())
            // The tag as written: a tool tip would take "<b class=x>" for markup of its own.
            QToolTip::showText(help->globalPos(),
                               "<p style='white-space:pre'>" +
                                   placeholders_[std::size_t(index)].Content.toHtmlEscaped() +
                                   "</p>",
                               viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

QMimeData* TEntryEdit::createMimeDataFromSelection() const {
    if (!tokens_) return QPlainTextEdit::createMimeDataFromSelection();
    auto* data = new QMimeData;
    data->setText(TokenText(textCursor().selectionStart(), textCursor().selectionEnd()));
    return data;
}

QString TEntryEdit::selectedText() const {
    if (tokens_) return TokenText(textCursor().selectionStart(), textCursor().selectionEnd());
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u' ');
    return text;
}

void TEntryEdit::setCursorPosition(int position) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    setTextCursor(cursor);
}

void TEntryEdit::setSelection(int start, int length) {
    const int last = document()->characterCount() - 1;
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::clamp(start, 0, last));
    cursor.setPosition(std::clamp(start + length, 0, last), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

int TEntryEdit::WantedHeight() const {
    // The plain layout counts the document's size in lines.
    const int lines =
        std::clamp(int(document()->documentLayout()->documentSize().height()), 1, MaxLines);
    const int frame = 2 * frameWidth();
    const int margin = int(2 * document()->documentMargin());
    return lines * fontMetrics().lineSpacing() + frame + margin + 2;
}

void TEntryEdit::FitHeight() {
    const int wanted = WantedHeight();
    if (height() != wanted || minimumHeight() != wanted) {
        setFixedHeight(wanted);
        updateGeometry();
    }
}

QSize TEntryEdit::sizeHint() const { return {QPlainTextEdit::sizeHint().width(), WantedHeight()}; }

QSize TEntryEdit::minimumSizeHint() const { return {60, WantedHeight()}; }

void TEntryEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    // A new width wraps the text anew.
    FitHeight();
}

bool TEntryEdit::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (const THistoryKey history = HistoryKeyOf(*key); history != THistoryKey::None) {
            if (type == QEvent::KeyPress && UndoRedo) UndoRedo(history == THistoryKey::Redo);
            event->accept();
            return true;
        }
        // Enter confirms, and Up and Down go from row to row: none of them moves in the text.
        const int k = key->key();
        const bool own =
            k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Up || k == Qt::Key_Down;
        if (type == QEvent::KeyPress) {
            const bool taken = KeyDown && KeyDown(k, key->modifiers());
            if (taken || own) {
                event->accept();
                return true;
            }
            if (tokens_ && TypedText(*key)) {
                event->accept();
                return true;
            }
        }
    }
    return QPlainTextEdit::event(event);
}

bool TEntryEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source && !source->hasUrls() && source->hasText();
}

void TEntryEdit::insertFromMimeData(const QMimeData* source) {
    if (canInsertFromMimeData(source)) insert(source->text());
}

bool TEntryEdit::TypedText(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers();
    if (key.key() == InsertPlaceholderKey && !(mods & ~Qt::KeypadModifier)) {
        InsertNextPlaceholder();
        return true;
    }
    // Typed characters are inserted here so that they never take a token's format from the
    // character before them. Ctrl without Alt (AltGr) types nothing.
    const QString typed = key.text();
    if (typed.isEmpty() || !typed.front().isPrint()) return false;
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) return false;
    if (isReadOnly()) return false;
    QTextCursor cursor = textCursor();
    cursor.insertText(typed, QTextCharFormat());
    // A placeholder typed out in full ("<b1>", "</b1>", "<x2/>") becomes its token, as a pasted
    // one does, so that the line Enter takes is the one the translator sees.
    if (tokens_ && typed.endsWith(u'>')) TokenizeTypedTag(cursor);
    setTextCursor(cursor);
    ensureCursorVisible();
    return true;
}

void TEntryEdit::TokenizeTypedTag(QTextCursor& cursor) {
    const QTextBlock block = cursor.block();
    const QString line = block.text();
    const int end = cursor.position() - block.position();
    // The longest written form of a placeholder is short; no token may lie inside it.
    const int open = line.lastIndexOf(u'<', end - 1);
    if (open < 0 || end - open > 24) return;
    const QString written = line.mid(open, end - open);
    if (written.contains(QChar::ObjectReplacementCharacter)) return;
    const std::vector<TSentencePiece> pieces = SentencePieces(ToText(written));
    if (pieces.size() != 1 || pieces.front().kind == TSentencePiece::Literal) return;
    const QString name = FromText(pieces.front().text);
    const bool paired = pieces.front().kind != TSentencePiece::Void;
    for (std::size_t i = 0; i < placeholders_.size(); ++i) {
        if (placeholders_[i].Name != name || placeholders_[i].Paired != paired) continue;
        QTextCursor tag(document());
        tag.setPosition(block.position() + open);
        tag.setPosition(cursor.position(), QTextCursor::KeepAnchor);
        tag.beginEditBlock();
        tag.removeSelectedText();
        InsertToken(tag, int(i),
                    pieces.front().kind == TSentencePiece::Open    ? Open
                    : pieces.front().kind == TSentencePiece::Close ? Close
                                                                   : Void);
        tag.endEditBlock();
        cursor = tag;
        return;
    }
}

}  // namespace quillfen

#include "entryedit.moc"
