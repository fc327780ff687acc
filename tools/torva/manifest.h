// The manifest extract writes beside an archive's members, and pack
// --manifest reads: the archive's kind, every table row in order (empty ALK
// rows too) with the file each member went to, and the framing (every byte
// that is no placed member's) so that the archive can be rebuilt exactly.
// The format is described in doc/cli.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/torva/file_system.h"

namespace torva {

// "ARCHIVE-NAME.manifest.json"
std::string ManifestNameFor(const std::string& archiveName);
// Whether a file name is one ManifestNameFor makes (ends in ".manifest.json").
bool IsManifestName(const std::string& fileName);

struct ManifestRow {
    bool empty = true;
    bool placed = false;
    uint32_t position = 0;
    uint32_t size = 0;  // the stored 32-bit size, unsigned
    std::string name;   // ALD: the stored name's bytes
    bool hasTime = false;
    uint64_t fileTime = 0;
    std::string file;   // where extract wrote the member; empty for none
};

struct ManifestPiece {
    int64_t row = -1;     // a placed member, or -1 for framing
    std::string framing;  // the framing's bytes
};

struct Manifest {
    bool ald = false;
    std::string archive;  // the archive's name when it was extracted
    uint64_t size = 0;    // its size then
    std::vector<ManifestRow> rows;
    std::vector<ManifestPiece> layout;
};

// Reads the layout of `input`, an archive of kind ALD (`ald`) or ALK whose
// first bytes are `head`; false with `error` when its table cannot be read.
bool ReadArchiveManifest(bool ald, const std::string& head, InputFile& input, Manifest& manifest,
                         std::string& error);

std::string ManifestJson(const Manifest& manifest);

// Parses a manifest; false with `error` saying what is wrong with it.
bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error);

}  // namespace torva
