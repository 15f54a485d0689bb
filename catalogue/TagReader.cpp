// The ID3v2, APE and ID3v1 readers of the tag cells.
#include "TagReader.h"

#include "TagText.h"
#include "TextFormat.h"

#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace {

bool IsLatin1Frame(const TagLib::ID3v2::Frame* frame)
{
    if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
        return text->textEncoding() == TagLib::String::Latin1;
    }
    if (const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame)) {
        return comment->textEncoding() == TagLib::String::Latin1;
    }
    return false;
}

const TagLib::ID3v2::Frame* FirstFrame(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const TagLib::ID3v2::FrameListMap& map = tag.frameListMap();
    const auto it = map.find(id);
    return it != map.end() && !it->second.isEmpty() ? it->second.front() : nullptr;
}

// The comment frame that the tag's comment() reports: the first without a
// description, else the first.
const TagLib::ID3v2::Frame* CommentFrame(const TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameListMap& map = tag.frameListMap();
    const auto it = map.find("COMM");
    if (it == map.end() || it->second.isEmpty()) {
        return nullptr;
    }
    for (const TagLib::ID3v2::Frame* frame : it->second) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
        if (comment && comment->description().isEmpty()) {
            return frame;
        }
    }
    return it->second.front();
}

void SetTrack(FileRowData& row, const QString& text)
{
    row.cells[COL_TRACK] = text;
    SplitTrackText(text, row.info.m_nTrack, row.info.m_nTrackTotal);
}

} // namespace

void ReadId3v2Fields(const TagLib::ID3v2::Tag& tag, FileRowData& row)
{
    const struct
    {
        const char* id;
        int column;
    } frames[] = {{"TPE1", COL_ARTIST}, {"TPE2", COL_ALBUM_ARTIST}, {"TALB", COL_ALBUM},
                  {"TRCK", COL_TRACK},  {"TIT2", COL_TITLE},        {"TDRC", COL_DATE}};
    for (const auto& entry : frames) {
        if (entry.column == COL_DATE) {
            // Genre comes before the date.
            const TagLib::String genre = tag.genre();
            if (row.cells[COL_GENRE].isEmpty() && !genre.isEmpty()) {
                row.cells[COL_GENRE] = TagTextToString(genre, IsLatin1Frame(FirstFrame(tag, "TCON")));
            }
        }
        if (!row.cells[entry.column].isEmpty()) {
            continue;
        }
        const TagLib::ID3v2::Frame* frame = FirstFrame(tag, entry.id);
        if (!frame) {
            continue;
        }
        const QString text = TagTextToString(frame->toString(), IsLatin1Frame(frame));
        if (entry.column == COL_TRACK) {
            SetTrack(row, text);
        } else {
            row.cells[entry.column] = text;
        }
    }
    const TagLib::String comment = tag.comment();
    if (row.cells[COL_COMMENT].isEmpty() && !comment.isEmpty()) {
        row.cells[COL_COMMENT] = TagTextToString(comment, IsLatin1Frame(CommentFrame(tag)));
    }
}

void ReadApeFields(const TagLib::APE::Tag& tag, FileRowData& row)
{
    const struct
    {
        int column;
        const char* key;
        const char* secondKey;
    } items[] = {{COL_ARTIST, "ARTIST", nullptr}, {COL_ALBUM_ARTIST, "ALBUM ARTIST", "ALBUMARTIST"},
                 {COL_ALBUM, "ALBUM", nullptr},   {COL_TRACK, "TRACK", "TRACKNUMBER"},
                 {COL_TITLE, "TITLE", nullptr},   {COL_GENRE, "GENRE", nullptr},
                 {COL_DATE, "DATE", "YEAR"},      {COL_COMMENT, "COMMENT", nullptr}};
    const TagLib::APE::ItemListMap map = tag.itemListMap(); // a copy: lookups never change the tag
    const auto find = [&map](const char* key) -> const TagLib::APE::Item* {
        const auto it = map.find(key);
        return it != map.end() ? &it->second : nullptr;
    };
    for (const auto& entry : items) {
        if (!row.cells[entry.column].isEmpty()) {
            continue;
        }
        const TagLib::APE::Item* item = find(entry.key);
        if ((!item || item->isEmpty()) && entry.secondKey) {
            item = find(entry.secondKey);
        }
        const bool hasText = item && !item->isEmpty();
        if (entry.column == COL_TRACK) {
            // A tag without a track still sets the track number (to 0).
            SetTrack(row, hasText ? TagTextToString(item->toString(), false) : QString());
        } else if (hasText) {
            row.cells[entry.column] = TagTextToString(item->toString(), false);
        }
    }
}

void ReadId3v1Fields(const TagLib::ID3v1::Tag& tag, FileRowData& row)
{
    const auto fill = [&row](int column, const TagLib::String& text) {
        if (row.cells[column].isEmpty()) {
            row.cells[column] = TagTextToString(text, true);
        }
    };
    fill(COL_ARTIST, tag.artist());
    fill(COL_ALBUM, tag.album());
    if (row.cells[COL_TRACK].isEmpty() && tag.track() != 0) {
        row.cells[COL_TRACK] = FormatText("%u", tag.track());
        row.info.m_nTrack = static_cast<uint8_t>(tag.track() & 0xFFu);
        row.info.m_nTrackTotal = 0;
    }
    fill(COL_TITLE, tag.title());
    fill(COL_GENRE, tag.genre());
    if (row.cells[COL_DATE].isEmpty() && tag.year() != 0) {
        row.cells[COL_DATE] = FormatText("%u", tag.year());
    }
    fill(COL_COMMENT, tag.comment());
}

QString MakeTagKindsText(TagLib::MPEG::File& file, int id3v2Version)
{
    QString text;
    if (id3v2Version > 0) {
        text += FormatText("ID3v2.%d  ", id3v2Version);
    } else if (const TagLib::ID3v2::Tag* id3v2 = file.ID3v2Tag(false); id3v2 && !id3v2->isEmpty()) {
        text += FormatText("ID3v2.%u  ", id3v2->header()->majorVersion());
    }
    if (const TagLib::APE::Tag* ape = file.APETag(false)) {
        text += FormatText("APEv%u  ", ape->footer()->version() / 1000);
    }
    if (const TagLib::ID3v1::Tag* id3v1 = file.ID3v1Tag(false); id3v1 && !id3v1->isEmpty()) {
        text += QStringLiteral("ID3v1");
    }
    return text;
}
