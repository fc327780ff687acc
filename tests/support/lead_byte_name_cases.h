// Host file names whose last byte is a code page 932 lead byte, with a file of
// each kind to go with them, for the linked library and the DLL alike. Each
// record is placed at the end of a page (page_end_record.h), so a runtime
// search that steps over the name's terminator faults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/writers/archive_writer.h"
#include "tests/writers/vsp_writer.h"

namespace torvatest {

enum class NameCaseFile { Ald, Alk, Vsp };

struct LeadByteNameCase {
    const char* name;
    NameCaseFile file;
    int32_t service;           // 1 archive, 2 image
    int32_t kind;              // what detection reports
    const char* firstMember;   // the first member's name when listed, else null
};

inline Bytes NameCaseBytes(NameCaseFile file) {
    switch (file) {
    case NameCaseFile::Ald: {
        std::vector<AldMember> members(1);
        members[0].name = "m.qnt";
        members[0].data = Bytes(20, 7);
        return WriteAld(members);
    }
    case NameCaseFile::Alk: {
        std::vector<AlkMember> rows(2);
        rows[0].data = Bytes(10, 1);
        rows[1].data = Bytes(3, 2);
        return WriteAlk(rows);
    }
    case NameCaseFile::Vsp:
        return WriteVsp(MakeVspPicture(16, 8, 1), 1);
    }
    return Bytes();
}

// The extension a name ends in includes its last lead byte, so ".alk\x83" is
// not ".alk"; ALK is found by its magic whatever the name.
inline const std::vector<LeadByteNameCase>& LeadByteNameCases() {
    static const std::vector<LeadByteNameCase> cases = {
        {"abc.alk\x83", NameCaseFile::Alk, 1, 2, "abc_001.dat"},
        {"C:\\d\\x.ald\x83", NameCaseFile::Ald, 1, 0, nullptr},
        {"x.vsp\x83", NameCaseFile::Vsp, 2, 0, nullptr},
        {"C:\\d\\\x83", NameCaseFile::Alk, 1, 2, nullptr},
        // The same records without the lead byte are recognised by name.
        {"C:\\d\\x.ald", NameCaseFile::Ald, 1, 1, "m.qnt"},
        {"x.VSP", NameCaseFile::Vsp, 2, 3, nullptr},
    };
    return cases;
}

}  // namespace torvatest
