"""The library's callbacks into Python. Each call's context is a cffi
handle to a Python object with the one method the callback needs; an
exception it raises is kept on the object (`failure`) and the callback
answers "failed", so that the caller can raise it once the library
returns."""
from ._native import ffi, lib


class Callback:
    failure = None

    def reraise(self):
        if self.failure is not None:
            raise self.failure


def _fail(exception, value, traceback):
    # cffi calls this with the context lost; the callbacks below catch their
    # own exceptions, so this only guards against a bug in them.
    return None


@ffi.def_extern(onerror=_fail)
def _torvasoft_read(context, offset, buffer, count):
    reader = ffi.from_handle(context)
    try:
        data = reader.read_at(offset, count)
    except Exception as failure:  # noqa: BLE001 - handed back to the caller
        reader.failure = failure
        return 0
    ffi.memmove(buffer, data, len(data))
    return len(data)


@ffi.def_extern(onerror=_fail)
def _torvasoft_write(context, data, count):
    writer = ffi.from_handle(context)
    try:
        writer.write(ffi.buffer(data, count))
    except Exception as failure:  # noqa: BLE001
        writer.failure = failure
        return 0
    return 1


@ffi.def_extern(onerror=_fail)
def _torvasoft_member(context, index, write, write_context):
    source = ffi.from_handle(context)
    try:
        data = source.member_bytes(index)
    except Exception as failure:  # noqa: BLE001
        source.failure = failure
        return 0
    buffer = ffi.from_buffer(data)
    return write(write_context, buffer, len(data))


read_callback = lib._torvasoft_read
write_callback = lib._torvasoft_write
member_callback = lib._torvasoft_member
