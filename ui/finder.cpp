#include "ui/finder.h"

namespace quillfen {

QString FoldForFind(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_Enclosing)
            continue;
        if (c == QChar(0x00DF) || c == QChar(0x1E9E)) {
            out += QStringLiteral("ss");
            continue;
        }
        out += c;
    }
    return out.toCaseFolded();
}

void TPhraseFinder::SetTexts(const QStringList& texts) {
    folded_.clear();
    folded_.reserve(std::size_t(texts.size()));
    for (const QString& t : texts) folded_.push_back(FoldForFind(t));
}

void TPhraseFinder::SetText(int index, const QString& text) {
    if (index >= 0 && index < Count()) folded_[std::size_t(index)] = FoldForFind(text);
}

std::vector<int> TPhraseFinder::Matches(const QString& query) const {
    std::vector<int> found;
    const QString q = FoldForFind(query);
    if (q.isEmpty()) return found;
    for (int i = 0; i < Count(); ++i)
        if (folded_[std::size_t(i)].contains(q)) found.push_back(i);
    return found;
}

std::optional<int> TPhraseFinder::Next(const QString& query, int from, bool forward) const {
    const QString q = FoldForFind(query);
    const int n = Count();
    if (q.isEmpty() || n == 0) return std::nullopt;
    int i = from;
    for (int step = 0; step < n; ++step) {
        if (forward)
            i = (i < 0 || i >= n - 1) ? 0 : i + 1;
        else
            i = (i <= 0 || i > n - 1) ? n - 1 : i - 1;
        if (folded_[std::size_t(i)].contains(q)) return i;
    }
    return std::nullopt;
}

}  // namespace quillfen
