#include "tools/torva/manifest.h"

#include <cstring>

#include "formats/archive_layout.h"
#include "formats/archive_structure.h"
#include "tools/torva/json.h"
#include "tools/torva/json_reader.h"
#include "tools/torva/member_names.h"

namespace torva {
namespace {

const char kManifestTag[] = "torva archive manifest";
const uint64_t kManifestVersion = 1;

uint32_t ReadFromInput(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
    InputFile& input = *static_cast<InputFile*>(context);
    if (offset >= input.size()) return 0;
    const uint64_t available = input.size() - offset;
    const uint32_t count = bytes > available ? uint32_t(available) : bytes;
    std::string read;
    if (!input.read(offset, count, read)) return 0;
    std::memcpy(buffer, read.data(), read.size());
    return uint32_t(read.size());
}

bool FromHex(const std::string& text, std::string& bytes) {
    if (text.size() % 2 != 0) return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (size_t k = i; k < i + 2; ++k) {
            const char c = text[k];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        bytes += char(value);
    }
    return true;
}

std::string Number(uint64_t value) { return std::to_string(value); }

// Reading one field of a row or piece, each failure naming where it is.
class Fields {
public:
    Fields(const JsonValue& object, const std::string& where, std::string& error)
        : object_(object), where_(where), error_(error) {}

    bool number(const char* key, uint64_t most, uint64_t& out) {
        const JsonValue* value = object_.find(key);
        if (value == nullptr) return fail(std::string("has no \"") + key + "\"");
        if (!AsUint64(*value, out) || out > most) return fail(std::string("\"") + key + "\" is not a valid number");
        return true;
    }
    bool flag(const char* key, bool& out) {
        const JsonValue* value = object_.find(key);
        if (value == nullptr) {
            out = false;
            return true;
        }
        if (value->type != JsonValue::Type::Bool) return fail(std::string("\"") + key + "\" is not true or false");
        out = value->boolean;
        return true;
    }
    bool hex(const char* key, std::string& out) {
        const JsonValue* value = object_.find(key);
        if (value == nullptr) return fail(std::string("has no \"") + key + "\"");
        if (value->type != JsonValue::Type::String || !FromHex(value->text, out)) {
            return fail(std::string("\"") + key + "\" is not lower-case hexadecimal");
        }
        return true;
    }
    bool fail(const std::string& what) {
        error_ = where_ + " " + what;
        return false;
    }

private:
    const JsonValue& object_;
    std::string where_;
    std::string& error_;
};

// A file name of the manifest's directory: no path, nothing that leaves it.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool ParseRow(const JsonValue& value, size_t index, bool ald, ManifestRow& row, std::string& error) {
    Fields fields(value, "row " + std::to_string(index), error);
    if (value.type != JsonValue::Type::Object) return fields.fail("is not an object");
    uint64_t number = 0;
    if (!fields.number("row", UINT32_MAX, number)) return false;
    if (number != index) return fields.fail("is numbered " + std::to_string(number) + "; rows are in order from 0");
    if (!fields.flag("empty", row.empty)) return false;
    if (row.empty && ald) return fields.fail("is empty, and ALD rows never are");
    const JsonValue* file = value.find("file");
    if (file == nullptr) return fields.fail("has no \"file\"");
    if (file->type == JsonValue::Type::String) {
        if (!IsPlainFileName(file->text)) return fields.fail("names a file outside the manifest's directory");
        row.file = file->text;
    } else if (file->type != JsonValue::Type::Null) {
        return fields.fail("\"file\" is neither a name nor null");
    }
    if (row.empty) return true;
    uint64_t position = 0, size = 0;
    if (!fields.flag("placed", row.placed) || !fields.number("position", UINT32_MAX, position) ||
        !fields.number("size", UINT32_MAX, size)) {
        return false;
    }
    row.position = uint32_t(position);
    row.size = uint32_t(size);
    if (ald) {
        row.hasTime = true;
        if (!fields.hex("name", row.name) || !fields.number("time", UINT64_MAX, row.fileTime)) return false;
        if (row.name.size() > archive::kAldNameBytes) return fields.fail("\"name\" is longer than 48 bytes");
    }
    return true;
}

}  // namespace

const char kManifestSuffix[] = ".manifest.json";

std::string ManifestNameFor(const std::string& archiveName) { return archiveName + kManifestSuffix; }

bool IsManifestName(const std::string& fileName) {
    const size_t length = sizeof kManifestSuffix - 1;
    return fileName.size() > length && fileName.compare(fileName.size() - length, length, kManifestSuffix) == 0;
}

bool ReadArchiveManifest(bool ald, const std::string& head, InputFile& input, Manifest& manifest,
                         std::string& error) {
    using namespace archive;
    ArchiveStructure structure;
    const ByteSpan headSpan{reinterpret_cast<const unsigned char*>(head.data()), static_cast<uint32_t>(head.size())};
    const ArchiveSource source{ReadFromInput, &input};
    if (structure.read(headSpan, ald ? Format::Ald : Format::Alk, source, input.size()) != TableRead::Ready) {
        error = "its table cannot be read";
        return false;
    }
    manifest.ald = ald;
    manifest.size = input.size();
    manifest.rows.assign(structure.rowCount(), ManifestRow());
    for (uint32_t i = 0; i < structure.rowCount(); ++i) {
        const StructureRow& from = structure.row(i);
        ManifestRow& to = manifest.rows[i];
        to.empty = from.empty;
        to.placed = from.placed;
        to.position = from.position;
        to.size = uint32_t(from.size);
        to.name.assign(reinterpret_cast<const char*>(from.name), from.nameLength);
        to.hasTime = from.hasTime;
        to.fileTime = from.fileTime;
    }
    for (uint32_t i = 0; i < structure.segmentCount(); ++i) {
        const Segment& segment = structure.segment(i);
        ManifestPiece piece;
        piece.row = segment.row;
        if (segment.row < 0 && !input.read(segment.start, size_t(segment.size), piece.framing)) {
            error = "cannot read its bytes";
            return false;
        }
        manifest.layout.push_back(piece);
    }
    return true;
}

std::string ManifestJson(const Manifest& manifest) {
    std::string out = "{\n  \"manifest\": " + JsonString(kManifestTag) + ",\n  \"version\": " +
                      Number(kManifestVersion) + ",\n  \"archive\": " + JsonString(manifest.archive) +
                      ",\n  \"kind\": \"" + (manifest.ald ? "ALD" : "ALK") + "\",\n  \"size\": " +
                      Number(manifest.size) + ",\n  \"rows\": [";
    for (size_t i = 0; i < manifest.rows.size(); ++i) {
        const ManifestRow& row = manifest.rows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"row\": " + Number(i) + ", \"file\": " + (row.file.empty() ? "null" : JsonString(row.file));
        if (row.empty) {
            out += ", \"empty\": true}";
            continue;
        }
        out += std::string(", \"placed\": ") + (row.placed ? "true" : "false") + ", \"position\": " +
               Number(row.position) + ", \"size\": " + Number(row.size);
        if (manifest.ald) out += ", \"name\": \"" + HexBytes(row.name) + "\", \"time\": " + Number(row.fileTime);
        out += "}";
    }
    out += "\n  ],\n  \"layout\": [";
    for (size_t i = 0; i < manifest.layout.size(); ++i) {
        const ManifestPiece& piece = manifest.layout[i];
        out += i == 0 ? "\n" : ",\n";
        out += piece.row >= 0 ? "    {\"row\": " + Number(uint64_t(piece.row)) + "}"
                              : "    {\"framing\": \"" + HexBytes(piece.framing) + "\"}";
    }
    out += "\n  ]\n}\n";
    return out;
}

bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error) {
    JsonValue document;
    if (!ParseJson(text, document, error)) return false;
    Fields top(document, "the manifest", error);
    if (document.type != JsonValue::Type::Object) return top.fail("is not a JSON object");
    const JsonValue* tag = document.find("manifest");
    if (tag == nullptr || tag->type != JsonValue::Type::String || tag->text != kManifestTag) {
        return top.fail("is not one that torva extract wrote (no \"manifest\": \"" + std::string(kManifestTag) +
                        "\")");
    }
    uint64_t version = 0;
    if (!top.number("version", UINT32_MAX, version)) return false;
    if (version != kManifestVersion) return top.fail("has version " + std::to_string(version) + ", not 1");
    const JsonValue* kind = document.find("kind");
    if (kind == nullptr || kind->type != JsonValue::Type::String || (kind->text != "ALD" && kind->text != "ALK")) {
        return top.fail("\"kind\" is neither \"ALD\" nor \"ALK\"");
    }
    manifest.ald = kind->text == "ALD";
    const JsonValue* archive = document.find("archive");
    if (archive != nullptr && archive->type == JsonValue::Type::String) manifest.archive = archive->text;
    if (!top.number("size", UINT64_MAX, manifest.size)) return false;

    const JsonValue* rows = document.find("rows");
    const JsonValue* layout = document.find("layout");
    if (rows == nullptr || rows->type != JsonValue::Type::Array) return top.fail("has no \"rows\" array");
    if (layout == nullptr || layout->type != JsonValue::Type::Array) return top.fail("has no \"layout\" array");
    manifest.rows.assign(rows->items.size(), ManifestRow());
    for (size_t i = 0; i < rows->items.size(); ++i) {
        if (!ParseRow(rows->items[i], i, manifest.ald, manifest.rows[i], error)) return false;
    }
    manifest.layout.clear();
    for (size_t i = 0; i < layout->items.size(); ++i) {
        const JsonValue& item = layout->items[i];
        Fields fields(item, "layout piece " + std::to_string(i), error);
        if (item.type != JsonValue::Type::Object) return fields.fail("is not an object");
        ManifestPiece piece;
        if (item.find("framing") != nullptr) {
            if (!fields.hex("framing", piece.framing)) return false;
        } else {
            uint64_t row = 0;
            if (!fields.number("row", manifest.rows.empty() ? 0 : manifest.rows.size() - 1, row)) return false;
            if (manifest.rows.empty() || manifest.rows[row].empty || !manifest.rows[row].placed) {
                return fields.fail("names a row that is not a placed member");
            }
            piece.row = int64_t(row);
        }
        manifest.layout.push_back(piece);
    }
    return true;
}

}  // namespace torva
