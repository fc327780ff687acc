"""Archives (ALD, ALK) as Python objects, in the manner of zipfile."""
import datetime
import io
import os
import threading
from dataclasses import dataclass
from typing import Optional

from ._callbacks import Callback, read_callback
from ._errors import DAMAGE, DamagedError, error_for
from ._names import decode_name
from ._native import ffi, lib
from ._pictures import c_name

# file_time counts 100 ns units from here.
FILE_TIME_EPOCH = datetime.datetime(1601, 1, 1, tzinfo=datetime.timezone.utc)


def time_from_file_time(file_time):
    """An aware datetime in UTC, or None beyond what datetime can hold."""
    try:
        return FILE_TIME_EPOCH + datetime.timedelta(microseconds=file_time // 10)
    except OverflowError:
        return None


def file_time_from(time):
    """An aware datetime to 100 ns units since 1601 (naive: refused)."""
    if time.tzinfo is None or time.utcoffset() is None:
        raise ValueError("a member time must be an aware datetime")
    delta = time - FILE_TIME_EPOCH
    return (delta.days * 86400 + delta.seconds) * 10_000_000 + delta.microseconds * 10


@dataclass(frozen=True)
class Member:
    """One member: `name` the stored name as text (see torvasoft.decode_name),
    `raw_name` its stored bytes (ALK: those of the made-up name), where its
    bytes lie, its time stamp (ALD; None for ALK) as an aware datetime and as
    stored (`file_time`), and its table `row` from 0 (ALK rows count empty
    ones; ALK names carry row + 1)."""

    name: str
    raw_name: bytes
    position: int
    size: int
    time: Optional[datetime.datetime]
    file_time: Optional[int]
    row: int = 0


class _FileReader(Callback):
    def __init__(self, file, lock):
        self.file = file
        self.lock = lock

    def read_at(self, offset, count):
        with self.lock:
            self.file.seek(offset)
            return self.file.read(count)


def _member(c_member):
    raw = bytes(ffi.buffer(c_member.raw_name, c_member.raw_name_size))
    file_time = c_member.file_time if c_member.has_time else None
    return Member(
        name=decode_name(raw),
        raw_name=raw,
        position=c_member.position,
        size=c_member.size,
        time=None if file_time is None else time_from_file_time(file_time),
        file_time=file_time,
        row=c_member.row,
    )


def _list(reader, name):
    kind = ffi.new("int*")
    count = ffi.new("size_t*")
    capacity = 64
    while True:
        members = ffi.new("torvasoft_member[]", capacity)
        handle = ffi.new_handle(reader)
        code = lib.torvasoft_list(c_name(name), read_callback, handle, kind, members, capacity, count)
        reader.reraise()
        if count[0] <= capacity:
            break
        capacity = count[0]
    listed = [_member(members[i]) for i in range(count[0])]
    return code, ffi.string(lib.torvasoft_kind_name(kind[0])).decode("ascii"), listed


class Archive:
    """An ALD or ALK archive, from a path or a binary file object open for
    reading (with seek). Iterating gives its members in the library's order.
    A table that cannot be read whole raises DamagedError, carrying the
    members read before the problem, unless `strict` is false: then the
    archive holds them and `status` tells what was found."""

    def __init__(self, path_or_file, strict=True):
        self._lock = threading.Lock()
        if isinstance(path_or_file, (str, bytes, os.PathLike)):
            self._file = open(path_or_file, "rb")
            self._owns_file = True
            self.filename = os.fsdecode(path_or_file)
        else:
            self._file = path_or_file
            self._owns_file = False
            name = getattr(path_or_file, "name", None)
            self.filename = os.fsdecode(name) if isinstance(name, (str, bytes)) else None
        try:
            code, self.kind, self._members = _list(_FileReader(self._file, self._lock), self.filename)
            if code == lib.TORVASOFT_COMPLETE or (code in DAMAGE and not strict):
                self.status = ffi.string(lib.torvasoft_status_name(code)).decode("ascii")
            elif code in DAMAGE:
                raise error_for(code, self.filename, members=self._members)
            else:
                raise error_for(code, self.filename)
        except BaseException:
            self.close()
            raise

    def close(self):
        if self._owns_file and self._file is not None:
            self._file.close()
        self._file = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def __iter__(self):
        return iter(self._members)

    def __len__(self):
        return len(self._members)

    def infolist(self):
        return list(self._members)

    def namelist(self):
        return [member.name for member in self._members]

    def getmember(self, name):
        """The first member of this name (text as listed, or the stored bytes)."""
        for member in self._members:
            if member.name == name or member.raw_name == name:
                return member
        raise KeyError(name)

    def _resolve(self, member):
        return member if isinstance(member, Member) else self.getmember(member)

    def _read_at(self, offset, count):
        if self._file is None:
            raise ValueError("the archive is closed")
        with self._lock:
            self._file.seek(offset)
            return self._file.read(count)

    def read(self, member):
        """The member's bytes. A member that lies past the archive's end
        raises DamagedError, with the bytes that are there as `data`."""
        member = self._resolve(member)
        data = self._read_at(member.position, member.size)
        if len(data) != member.size:
            raise DamagedError(lib.TORVASOFT_TRUNCATED, member.name, data=data)
        return data

    def open(self, member):
        """The member as a read-only binary file object."""
        return io.BufferedReader(_MemberStream(self, self._resolve(member)))


class _MemberStream(io.RawIOBase):
    def __init__(self, archive, member):
        super().__init__()
        self._archive = archive
        self._member = member
        self._offset = 0
        self.name = member.name

    def readable(self):
        return True

    def seekable(self):
        return True

    def tell(self):
        return self._offset

    def seek(self, offset, whence=io.SEEK_SET):
        base = {io.SEEK_SET: 0, io.SEEK_CUR: self._offset, io.SEEK_END: self._member.size}[whence]
        if base + offset < 0:
            raise ValueError("a negative position")
        self._offset = base + offset
        return self._offset

    def readinto(self, buffer):
        wanted = max(0, min(len(buffer), self._member.size - self._offset))
        if wanted == 0:
            return 0
        data = self._archive._read_at(self._member.position + self._offset, wanted)
        if len(data) != wanted:
            raise DamagedError(lib.TORVASOFT_TRUNCATED, self._member.name, data=data)
        buffer[:wanted] = data
        self._offset += wanted
        return wanted
