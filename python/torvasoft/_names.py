"""Member names: stored as code page 932 bytes, shown as text by the same
rule as the torva tool. Printable ASCII stays; half-width katakana are
single bytes; a lead and trail byte that the code page assigns are one
character; every other byte appears as %XX."""


def _is_lead(c):
    return 0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC


def _is_trail(c):
    return 0x40 <= c <= 0xFC and c != 0x7F


def decode_name(raw):
    out = []
    i = 0
    while i < len(raw):
        c = raw[i]
        if 0x20 <= c < 0x7F:
            out.append(chr(c))
        elif 0xA1 <= c <= 0xDF:
            out.append(chr(0xFF61 + c - 0xA1))
        elif c >= 0x80 and _is_lead(c) and i + 1 < len(raw) and _is_trail(raw[i + 1]):
            try:
                out.append(raw[i:i + 2].decode("cp932"))
                i += 2
                continue
            except UnicodeDecodeError:
                out.append("%%%02X" % c)
        else:
            out.append("%%%02X" % c)
        i += 1
    return "".join(out)


def encode_name(name):
    """A name to store: bytes as given, text in code page 932 (a character
    the code page lacks raises UnicodeEncodeError)."""
    if isinstance(name, (bytes, bytearray, memoryview)):
        return bytes(name)
    return name.encode("cp932")
