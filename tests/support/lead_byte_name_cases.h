// Host file names that end in a code page 932 lead byte, each with a file,
// for the linked library and the DLL alike (records from page_end_record.h).
#pragma once

#include <string>
#include <vector>

#include "tests/writers/archive_writer.h"
#include "tests/writers/vsp_writer.h"

namespace torvatest {

struct LeadByteNameCase {
    const char* name;
    char file;                 // 'd' ALD, 'k' ALK, 'v' VSP
    int32_t service;           // 1 archive, 2 image
    int32_t kind;              // what detection reports
    const char* firstMember;   // the first member's name when listed, else null
};

inline Bytes NameCaseBytes(char file) {
    if (file == 'v') return WriteVsp(MakeVspPicture(16, 8, 1), 1);
    std::vector<AlkMember> rows(2);
    rows[0].data = rows[1].data = Bytes(10, 1);
    if (file == 'k') return WriteAlk(rows);
    std::vector<AldMember> members(1);
    members[0].name = "m.qnt";
    members[0].data = Bytes(20, 7);
    return WriteAld(members);
}

// Longer than a name the plug-in copies without the heap.
inline const std::string kLongName = "C:\\" + std::string(600, 'a') + ".vsp";
inline const std::string kLongLeadByteName = kLongName + "\x83";

// The extension includes the last lead byte, so ".alk\x83" is not ".alk";
// ALK is found by its magic whatever the name. Names without one are controls.
inline const std::vector<LeadByteNameCase> kLeadByteNameCases = {
    {"abc.alk\x83", 'k', 1, 2, "abc_001.dat"}, {"C:\\d\\x.ald\x83", 'd', 1, 0, nullptr},
    {"x.vsp\x83", 'v', 2, 0, nullptr},         {"C:\\d\\\x83", 'k', 1, 2, nullptr},
    {"C:\\d\\x.ald", 'd', 1, 1, "m.qnt"},      {"x.VSP", 'v', 2, 3, nullptr},
    {kLongLeadByteName.c_str(), 'v', 2, 0, nullptr}, {kLongName.c_str(), 'v', 2, 3, nullptr},
};

}  // namespace torvatest
