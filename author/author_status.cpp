#include "author/author_status.h"

namespace author {

const char* AuthorStatusText(AuthorStatus status) {
    switch (status) {
    case AuthorStatus::Ok: return "ok";
    case AuthorStatus::EmptyPicture: return "the picture has no pixels";
    case AuthorStatus::TooLarge: return "the picture is too large for the format";
    case AuthorStatus::TooManyColours: return "more colours than the format's palette holds";
    case AuthorStatus::NotFourBitLevels: return "a colour channel is not one of the 16 levels 0, 17, 34 ... 255";
    case AuthorStatus::HasAlpha: return "the picture has translucent pixels and the format has no alpha";
    case AuthorStatus::BadWidth: return "the width is not a multiple of 8";
    case AuthorStatus::OutOfBounds: return "the picture does not fit the screen the format describes";
    case AuthorStatus::BadTemplate: return "the original's header is not a whole header of the format";
    case AuthorStatus::OutOfMemory: return "out of memory";
    case AuthorStatus::CompressionFailed: return "compression failed";
    case AuthorStatus::NameEmpty: return "the member name is empty";
    case AuthorStatus::NameTooLong: return "the member name is longer than 47 bytes in code page 932";
    case AuthorStatus::TooManyMembers: return "more members than the archive's table can list";
    case AuthorStatus::MemberTooLarge: return "a member of 2 GiB or more";
    case AuthorStatus::ArchiveTooLarge: return "the archive would reach 2 GiB";
    case AuthorStatus::NoMembers: return "an ALK archive needs at least one member";
    case AuthorStatus::WriteFailed: return "the archive could not be written";
    case AuthorStatus::LayoutMismatch: return "the rows and the framing do not describe one archive";
    case AuthorStatus::LayoutFixed:
        return "a member's table entry lies inside another member's bytes and cannot change";
    }
    return "unknown status";
}

}  // namespace author
