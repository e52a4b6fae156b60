"""The stand-in host's C interface (libcvhost), bound with ctypes.

One host per process: the stand-in host keeps one environment per process,
so the package opens the module once, on first use, and keeps it open until
the process ends (closing it while another thread still evaluates would
pull the module from under that thread). The handle is safe to use from
several threads at once, and ctypes releases the GIL for every foreign
call, so evaluations on different Python threads run in parallel.
"""

from __future__ import annotations

import ctypes
import threading
from pathlib import Path

LIBRARY_DIR = Path(__file__).resolve().parent / "_lib"
HOST_LIBRARY = LIBRARY_DIR / "libcvhost.so"
MODULE_LIBRARY = LIBRARY_DIR / "libcvmodule.so"

_c_double_p = ctypes.POINTER(ctypes.c_double)
_c_int_p = ctypes.POINTER(ctypes.c_int)

_lock = threading.Lock()
_host: Host | None = None


class Host:
    """An open host with the module loaded: the four calls of the C interface."""

    def __init__(self, library: Path, module: Path) -> None:
        lib = ctypes.CDLL(str(library))
        lib.cvhost_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t]
        lib.cvhost_open.restype = ctypes.c_void_p
        lib.cvhost_ljungcv.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double,
                                       ctypes.c_char_p, _c_double_p, _c_int_p]
        lib.cvhost_ljungcv.restype = ctypes.c_int32
        # The arrays go in as plain addresses: converting NumPy arrays to
        # typed pointers costs more than the call itself for small arrays.
        lib.cvhost_ljungcv_many.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p,
                                            ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p,
                                            ctypes.c_void_p]
        lib.cvhost_ljungcv_many.restype = None
        lib.cvhost_module_info.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
        lib.cvhost_module_info.restype = ctypes.c_size_t

        message = ctypes.create_string_buffer(512)
        handle = lib.cvhost_open(str(module).encode(), message, ctypes.sizeof(message))
        if not handle:
            raise OSError(f"ljungcv: cannot load the module {module}: "
                          f"{message.value.decode(errors='replace')}")
        self.lib = lib
        self.handle = ctypes.c_void_p(handle)
        self.many = lib.cvhost_ljungcv_many

    def one(self, n: float, alpha: float, method: bytes | None) -> tuple[float, int, int]:
        """One evaluation: value (the host's missing value on failure), status, rejected argument."""
        value = ctypes.c_double()
        rejected = ctypes.c_int()
        status = self.lib.cvhost_ljungcv(self.handle, n, alpha, method,
                                         ctypes.byref(value), ctypes.byref(rejected))
        return value.value, status, rejected.value

    def module_info(self) -> str:
        # Like snprintf: the length of the whole text, however much fitted.
        buffer = ctypes.create_string_buffer(4096)
        length = self.lib.cvhost_module_info(self.handle, buffer, ctypes.sizeof(buffer))
        if length >= ctypes.sizeof(buffer):
            buffer = ctypes.create_string_buffer(length + 1)
            self.lib.cvhost_module_info(self.handle, buffer, ctypes.sizeof(buffer))
        return buffer.value.decode(errors="replace")


def host() -> Host:
    """The process's host, opened on first use."""
    global _host
    if _host is None:
        with _lock:
            if _host is None:
                _host = Host(HOST_LIBRARY, MODULE_LIBRARY)
    return _host
