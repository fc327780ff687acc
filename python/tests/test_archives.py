import datetime
import io

import pytest

import torvasoft
from conftest import torva, torva_json


def _listed_by_torva(path):
    (archive,) = torva_json("list", path)["files"]
    return archive


@pytest.mark.parametrize("archive", ["samples.ald", "samples.alk"])
def test_members_and_bytes_agree_with_torva(samples, tmp_path, archive):
    path = samples / archive
    told = _listed_by_torva(path)
    torva("extract", path, "-o", tmp_path)
    with torvasoft.Archive(path) as opened:
        assert opened.kind == told["kind"] and opened.status == "complete"
        members = list(opened)
        assert len(members) == len(told["members"]) > 0
        for member, expected in zip(members, told["members"]):
            assert member.name == expected["name"]
            if told["kind"] == "alk":
                # An ALK stores no names: torva shows no raw bytes for the made-up one.
                assert expected["raw_name"] is None and member.raw_name == member.name.encode("ascii")
            else:
                assert member.raw_name.hex() == expected["raw_name"]
            assert (member.position, member.size) == (expected["position"], expected["size"])
            if expected["time"] is None:
                assert member.time is None
            else:
                assert member.time.utcoffset() == datetime.timedelta(0)
                assert member.time == datetime.datetime.fromisoformat(expected["time"])
            assert opened.read(member) == (tmp_path / expected["name"]).read_bytes()


def test_alk_members_keep_their_row_past_an_empty_one(samples):
    # The samples' ALK has an empty third row.
    with torvasoft.Archive(samples / "samples.alk") as archive:
        rows = [(member.row, member.name) for member in archive]
    assert rows == [(0, "samples_001.qnt"), (1, "samples_002.qnt"), (3, "samples_004.pms"),
                    (4, "samples_005.pms"), (5, "samples_006.pms")]


def test_member_file_objects_read_seek_and_stop_at_the_end(samples):
    with torvasoft.Archive(samples / "samples.ald") as archive:
        member = archive.getmember("表紙.qnt")
        whole = archive.read(member)
        with archive.open(member) as file:
            assert file.read(4) == whole[:4]
            file.seek(-10, io.SEEK_END)
            assert file.read() == whole[-10:]
            assert file.read(1) == b""
            file.seek(100)
            assert file.read(50) == whole[100:150]


def test_an_archive_from_a_file_object_needs_its_name_for_ald(samples):
    data = (samples / "samples.ald").read_bytes()
    named = io.BytesIO(data)
    named.name = "SAMPLES.ALD"
    assert torvasoft.Archive(named).namelist() == torvasoft.Archive(samples / "samples.ald").namelist()
    with pytest.raises(torvasoft.NotRecognisedError):
        torvasoft.Archive(io.BytesIO(data))


def test_a_cut_archive_lists_what_torva_lists_and_reads_what_is_there(samples, tmp_path):
    path = tmp_path / "cut.ald"
    path.write_bytes((samples / "samples.ald").read_bytes()[:20000])
    with pytest.raises(torvasoft.DamagedError) as caught:
        torvasoft.Archive(path)
    assert caught.value.status == "truncated"
    told = [member["name"] for member in _listed_by_torva(path)["members"]]
    assert [member.name for member in caught.value.members] == told

    with torvasoft.Archive(path, strict=False) as archive:
        assert archive.status == "truncated" and archive.namelist() == told
        last = archive.infolist()[-1]
        with pytest.raises(torvasoft.DamagedError) as beyond:
            archive.read(last)
        assert beyond.value.data == path.read_bytes()[last.position:]
        with pytest.raises(torvasoft.DamagedError), archive.open(last) as file:
            file.read()


# Stored names and how they read: kept ASCII, half-width katakana, pairs of
# the code page, and bytes escaped as %XX (controls, a lone lead byte, an
# unassigned pair, a byte that is no lead).
NAMES = [b"plain.txt", b"100%.txt", b"\xb1\xb2.txt", b"\x95\x5c\x8e\x86.qnt", b"tab\x09.txt", b"end\x81",
         b"\x85\x40.txt", b"\x80\xa0\xfd.txt", b"\xf0\x40.txt"]


def test_names_decode_as_torva_shows_them(tmp_path):
    path = tmp_path / "names.ald"
    torvasoft.pack([(name, b"x") for name in NAMES], path)
    told = [member["name"] for member in _listed_by_torva(path)["members"]]
    assert [torvasoft.decode_name(name) for name in NAMES] == told
    assert [member.raw_name for member in torvasoft.Archive(path)] == NAMES
