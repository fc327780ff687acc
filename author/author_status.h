// What an encoder or packer found. Every authoring routine returns one of
// these; only `Ok` means that output was produced.
#pragma once

namespace author {

enum class AuthorStatus {
    Ok = 0,
    EmptyPicture,       // width or height is 0
    TooLarge,           // beyond what the format or one allocation can hold
    TooManyColours,     // more colours than the format's palette holds
    NotFourBitLevels,   // a VSP colour whose channels are not 17 x (0..15)
    HasAlpha,           // a format without alpha was given translucent pixels
    BadWidth,           // a VSP width that is not a multiple of 8
    OutOfBounds,        // a position or size outside the screen the format describes
    BadTemplate,        // a header template that is not a whole header of the format
    OutOfMemory,
    CompressionFailed,
    NameEmpty,          // an archive member name with no bytes
    NameTooLong,        // an ALD member name that does not fit its header
    TooManyMembers,     // more members than the archive's table can list
    MemberTooLarge,     // a member of 2 GiB or more
    ArchiveTooLarge,    // an archive whose members would lie at 2 GiB or beyond
    NoMembers,          // an ALK archive needs at least one row
    WriteFailed,        // the sink refused bytes
    LayoutMismatch,     // a rebuild's rows and framing do not describe one archive
    LayoutFixed,        // a rebuild would change a table field held inside a member's bytes
};

// A short English phrase for messages ("more colours than the palette holds").
const char* AuthorStatusText(AuthorStatus status);

}  // namespace author
