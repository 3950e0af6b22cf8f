#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "buffer.h"
#include "encoding.h"
#include "scan.h"

namespace quillfen {

// One open page: what the scan found in it, and the writer that puts the phrases back.
class TDocument {
public:
    // Reads, trims and scans the file. Refuses a file holding a zero byte, since everything
    // behind it would be lost on the first save.
    void LoadFile(const std::string& path, std::uint8_t tags, const TProgress& progress = {});
    // The same on bytes already in memory; path only names the file in errors.
    void LoadBytes(std::string_view data, std::uint8_t tags, const TProgress& progress = {},
                   const std::string& path = {});
    void Clear();

    // The page as Save writes it: every template entry, with each marker filled in at the place
    // the scan put it, followed by CR LF. A Windows-1252 page that would read as UTF-8 once its
    // umlauts are entities keeps them as bytes.
    std::string Render() const;
    // Writes Render() to path atomically.
    void Save(const std::string& path) const;

    // Replaces phrase i's text and row string.
    void SetPhraseText(std::size_t i, std::string text);

    const TEntityTables& Tables() const { return *tables_; }
    // The tables Render encodes the phrases with: Tables(), or, for a page that keeps its
    // umlauts as bytes, those tables without the rows for them.
    const TEntityTables& TablesForSaving() const;
    TPageEncoding Encoding() const { return encoding_; }
    // The byte-order mark the file started with (empty if none); it is no part of any line and
    // is written back in front of the page.
    const std::string& Bom() const { return bom_; }
    const TScanResult& Scan() const { return scan_; }
    const std::vector<TTextItem>& Phrases() const { return scan_.Phrases; }
    std::string_view Row(std::size_t i) const { return scan_.Row(i); }
    const TTemplate& Template() const { return scan_.Template; }
    const TLineViews& Buffer() const { return buffer_; }
    std::size_t PhraseCount() const { return scan_.Phrases.size(); }
    std::uint64_t TotalWords() const { return quillfen::TotalWords(scan_.Phrases); }

private:
    std::string RenderWith(const TEntityTables& tables) const;
    bool ReadsOtherwise(const std::string& rendered) const;
    void Load(std::string&& data, std::uint8_t tags, const TProgress& progress,
              const std::string& path);

    std::string data_;     // the file's bytes; the buffer's lines are views into them
    TLineViews buffer_;
    TScanResult scan_;
    const TEntityTables* tables_ = &Windows1252Tables();
    TPageEncoding encoding_ = TPageEncoding::Windows1252;
    std::string bom_;
};

}  // namespace quillfen
