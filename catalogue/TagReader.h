// The tag readers: the eight tag cells and the track numbers of a row from a
// file's ID3v2, APE and ID3v1 tags. Each fills only cells that are still
// empty, so in the reading order ID3v2, APE, ID3v1 the first tag that has a
// field wins.
#pragma once

#include "InformationReader.h"

namespace TagLib {
namespace ID3v2 {
class Tag;
}
namespace APE {
class Tag;
}
namespace ID3v1 {
class Tag;
}
namespace MPEG {
class File;
}
} // namespace TagLib

void ReadId3v2Fields(const TagLib::ID3v2::Tag& tag, FileRowData& row);
void ReadApeFields(const TagLib::APE::Tag& tag, FileRowData& row);
void ReadId3v1Fields(const TagLib::ID3v1::Tag& tag, FileRowData& row);

// "ID3v2.%d  ", "APEv%d  " and "ID3v1" for the tags the file has.
// id3v2Version: the major version of a leading ID3v2 tag whose fields are not
// read (0 for none); it is named as well.
QString MakeTagKindsText(TagLib::MPEG::File& file, int id3v2Version = 0);
