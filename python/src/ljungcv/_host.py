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
NEEDED_VERSION = 10500  # 1.5: the model identified from the series

if not HOST_LIBRARY.is_file():
    # The libraries are built by the package's install step; a source tree
    # on sys.path has none, and the OSError ctypes would give names no cure.
    raise ImportError(
        f"ljungcv is not built: {HOST_LIBRARY} is missing, so this looks like the unbuilt "
        "source tree on sys.path. Install the package, which builds the module and its host "
        "library, and import it from outside python/src:\n"
        "    /usr/bin/python3 -m venv --system-site-packages .venv\n"
        "    .venv/bin/python -m pip install --no-build-isolation ./python",
        name=__package__, path=str(HOST_LIBRARY))

_c_double_p = ctypes.POINTER(ctypes.c_double)
_c_int_p = ctypes.POINTER(ctypes.c_int)
_c_char_pp = ctypes.POINTER(ctypes.c_char_p)
_void_p = ctypes.c_void_p

_lock = threading.Lock()
_host: Host | None = None


def _bind(lib: ctypes.CDLL, name: str, restype, *argtypes) -> None:
    function = getattr(lib, name)
    function.argtypes = list(argtypes)
    function.restype = restype


class Host:
    """An open host with the module loaded: the calls of the C interface."""

    def __init__(self, library: Path, module: Path) -> None:
        lib = ctypes.CDLL(str(library))
        version = lib.cvhost_version() if hasattr(lib, "cvhost_version") else 10000
        if version < NEEDED_VERSION:
            raise ImportError(f"ljungcv: {library} is version {version // 10000}.{version // 100 % 100}; "
                              "the package needs 1.5 or later (reinstall the package)")
        _bind(lib, "cvhost_open", _void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_size_t)
        _bind(lib, "cvhost_ljungcv", ctypes.c_int32, _void_p, ctypes.c_double, ctypes.c_double,
              ctypes.c_char_p, _c_double_p, _c_int_p)
        # The arrays go in as plain addresses: converting NumPy arrays to
        # typed pointers costs more than the call itself for small arrays.
        _bind(lib, "cvhost_ljungcv_many", None, _void_p, ctypes.c_size_t, _void_p, _void_p,
              ctypes.c_char_p, _void_p, _void_p)
        _bind(lib, "cvhost_assess_many", None, _void_p, ctypes.c_size_t, _void_p, _void_p,
              ctypes.c_char_p, _void_p, _void_p, _void_p, _void_p)
        _bind(lib, "cvhost_range_text", ctypes.c_char_p, ctypes.c_int32)
        _bind(lib, "cvhost_explain", ctypes.c_size_t, _void_p, ctypes.c_double, ctypes.c_double,
              ctypes.c_char_p, ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, ctypes.c_char_p,
              ctypes.c_size_t)
        _bind(lib, "cvhost_limits", ctypes.c_int32, _void_p, ctypes.c_char_p, ctypes.c_double,
              ctypes.c_size_t, _void_p, _void_p, _void_p, ctypes.POINTER(ctypes.c_size_t))
        _bind(lib, "cvhost_info_field", ctypes.c_int, _void_p, ctypes.c_size_t, _c_char_pp, _c_char_pp)
        _bind(lib, "cvhost_method_known", ctypes.c_int, ctypes.c_char_p)
        # The outlier statistics and the locate stage (arrays as plain addresses).
        _bind(lib, "cvhost_outlier_statistics", ctypes.c_int32, ctypes.c_size_t, _void_p, ctypes.c_size_t,
              _void_p, ctypes.c_int32, ctypes.c_double, ctypes.c_double, _void_p, _void_p,
              ctypes.c_char_p, ctypes.c_size_t)
        _bind(lib, "cvhost_locate_outliers", ctypes.c_int32, _void_p, ctypes.c_size_t, _void_p,
              ctypes.c_size_t, _void_p, ctypes.c_int32, ctypes.c_double, ctypes.c_double,
              ctypes.c_char_p, ctypes.c_double, ctypes.c_size_t, _void_p, _void_p, _void_p, _void_p,
              ctypes.POINTER(ctypes.c_size_t), ctypes.POINTER(ctypes.c_double), ctypes.c_char_p,
              ctypes.c_size_t)
        # The fit: its options struct, the call, the free and the accessors.
        _bind(lib, "cvhost_fit_options_init", ctypes.c_int32, ctypes.POINTER(FitOptions), ctypes.c_uint)
        _bind(lib, "cvhost_fit_arima", ctypes.c_int32, ctypes.POINTER(FitOptions), ctypes.POINTER(_void_p),
              ctypes.c_char_p, ctypes.c_size_t)
        _bind(lib, "cvhost_fit_free", None, _void_p)
        for name in ("coefficient_count", "nobs", "weight_count"):
            _bind(lib, f"cvhost_fit_{name}", ctypes.c_size_t, _void_p)
        _bind(lib, "cvhost_fit_coefficient_name", ctypes.c_char_p, _void_p, ctypes.c_size_t)
        for name in ("coefficients", "standard_errors", "covariance", "residuals", "pi_weights", "psi_weights"):
            _bind(lib, f"cvhost_fit_{name}", _c_double_p, _void_p)
        for name in ("sigma2", "loglik", "aic", "aicc", "bic"):
            _bind(lib, f"cvhost_fit_{name}", ctypes.c_double, _void_p)
        for name in ("converged", "iterations"):
            _bind(lib, f"cvhost_fit_{name}", ctypes.c_int, _void_p)
        _bind(lib, "cvhost_fit_message", ctypes.c_char_p, _void_p)

        # The whole outlier procedure: its options, the call, the free and the accessors.
        _bind(lib, "cvhost_outlier_options_init", ctypes.c_int32, ctypes.POINTER(OutlierOptions), ctypes.c_uint)
        _bind(lib, "cvhost_find_outliers", ctypes.c_int32, _void_p, ctypes.POINTER(OutlierOptions),
              ctypes.POINTER(_void_p), ctypes.c_char_p, ctypes.c_size_t)
        _bind(lib, "cvhost_outliers_free", None, _void_p)
        _bind(lib, "cvhost_outliers_fit", _void_p, _void_p)
        for name, restype in (("count", ctypes.c_size_t), ("index", ctypes.POINTER(ctypes.c_size_t)),
                              ("type", ctypes.POINTER(ctypes.c_int32)), ("effect", _c_double_p),
                              ("tstat", _c_double_p), ("adjusted", _c_double_p),
                              ("critical_value", ctypes.c_double), ("tested", ctypes.c_size_t),
                              ("rounds", ctypes.c_int), ("flags", ctypes.c_int32),
                              ("excess_kurtosis", ctypes.c_double), ("kurtosis_p_value", ctypes.c_double),
                              ("calibrated", ctypes.c_int), ("tail_dof", ctypes.c_double)):
            _bind(lib, f"cvhost_outliers_{name}", restype, _void_p)

        _bind(lib, "cvhost_reach", ctypes.c_int32, _void_p, ctypes.c_char_p, ctypes.c_double, ctypes.c_double,
              ctypes.POINTER(ctypes.c_int32), _c_double_p, _c_double_p, _c_double_p, _c_double_p,
              ctypes.c_char_p, ctypes.c_size_t)

        # The procedure on many series (1.4): the batch, its free and its accessors.
        _bind(lib, "cvhost_find_outliers_batch", ctypes.c_int32, _void_p, ctypes.POINTER(OutlierOptions),
              ctypes.c_size_t, _void_p, _void_p, ctypes.c_uint, ctypes.POINTER(_void_p), ctypes.c_char_p,
              ctypes.c_size_t)
        _bind(lib, "cvhost_batch_free", None, _void_p)
        _bind(lib, "cvhost_batch_count", ctypes.c_size_t, _void_p)
        _bind(lib, "cvhost_batch_status", ctypes.c_int32, _void_p, ctypes.c_size_t)
        _bind(lib, "cvhost_batch_message", ctypes.c_char_p, _void_p, ctypes.c_size_t)
        _bind(lib, "cvhost_batch_outliers", _void_p, _void_p, ctypes.c_size_t)
        _bind(lib, "cvhost_stop_flag", ctypes.c_int, _void_p)  # the batch's stop hook, read without the GIL
        _bind(lib, "cvhost_status_text", ctypes.c_char_p, ctypes.c_int32)

        # The model identified from the series (1.5): its options, the call, and how the fit was chosen.
        _bind(lib, "cvhost_identify_options_init", ctypes.c_int32, ctypes.POINTER(IdentifyOptions), ctypes.c_uint)
        _bind(lib, "cvhost_identify_arima", ctypes.c_int32, ctypes.POINTER(FitOptions),
              ctypes.POINTER(IdentifyOptions), ctypes.POINTER(_void_p), ctypes.c_char_p, ctypes.c_size_t)
        _bind(lib, "cvhost_fit_order", ctypes.c_int32, _void_p, ctypes.POINTER(ctypes.c_int32))
        for name, restype in (("identified", ctypes.c_int), ("candidate_count", ctypes.c_size_t),
                              ("candidate_orders", ctypes.POINTER(ctypes.c_int32)),
                              ("candidate_constants", ctypes.POINTER(ctypes.c_int32)),
                              ("candidate_aicc", _c_double_p), ("model_bound_reached", ctypes.c_int),
                              ("seasonal_strength", ctypes.c_double), ("kpss_count", ctypes.c_size_t),
                              ("kpss_statistics", _c_double_p), ("kpss_p_values", _c_double_p)):
            _bind(lib, f"cvhost_fit_{name}", restype, _void_p)
        for name in ("outcome", "reason"):
            _bind(lib, f"cvhost_fit_candidate_{name}", ctypes.c_char_p, _void_p, ctypes.c_size_t)
        _bind(lib, "cvhost_outliers_identification", _void_p, _void_p, ctypes.c_size_t)

        message = ctypes.create_string_buffer(512)
        handle = lib.cvhost_open(str(module).encode(), message, ctypes.sizeof(message))
        if not handle:
            raise OSError(f"ljungcv: cannot load the module {module}: "
                          f"{message.value.decode(errors='replace')}")
        self.lib = lib
        self.handle = ctypes.c_void_p(handle)
        self.many = lib.cvhost_ljungcv_many
        self.assess_many = lib.cvhost_assess_many

    def one(self, n: float, alpha: float, method: bytes | None) -> tuple[float, int, int]:
        """One evaluation: value (the host's missing value on failure), status, rejected argument."""
        value = ctypes.c_double()
        rejected = ctypes.c_int()
        status = self.lib.cvhost_ljungcv(self.handle, n, alpha, method,
                                         ctypes.byref(value), ctypes.byref(rejected))
        return value.value, status, rejected.value

    def method_known(self, method: bytes) -> bool:
        """Whether the function takes the text as its method."""
        return bool(self.lib.cvhost_method_known(method))

    def range_text(self, verdict: int) -> str:
        return self.lib.cvhost_range_text(verdict).decode()

    def explain(self, n: float, alpha: float, method: bytes | None, status: int, rejected: int,
                verdict: int) -> str:
        """The command's one-line explanation of an outcome ("" for a value that holds)."""
        args = (self.handle, n, alpha, method, status, rejected, verdict)
        buffer = ctypes.create_string_buffer(256)
        length = self.lib.cvhost_explain(*args, buffer, ctypes.sizeof(buffer))
        if length >= ctypes.sizeof(buffer):  # like snprintf: the whole length, however much fitted
            buffer = ctypes.create_string_buffer(length + 1)
            self.lib.cvhost_explain(*args, buffer, ctypes.sizeof(buffer))
        return buffer.value.decode(errors="replace")

    def limits(self, method: bytes | None, alpha: float) -> tuple[int, list[tuple[float, float, int]]]:
        """Status and the stretches (first n, last n, CVHOST_RANGE_* verdict)."""
        count = ctypes.c_size_t()
        status = self.lib.cvhost_limits(self.handle, method, alpha, 0, None, None, None, ctypes.byref(count))
        if status != 0:
            return status, []
        size = count.value
        first, last, ranges = (ctypes.c_double * size)(), (ctypes.c_double * size)(), (ctypes.c_int32 * size)()
        self.lib.cvhost_limits(self.handle, method, alpha, size, first, last, ranges, ctypes.byref(count))
        return status, list(zip(first, last, ranges))[:count.value]

    def reach(self, method: bytes | None, alpha: float,
              threshold: float) -> tuple[int, int, float, float, float, float, str]:
        """Status, CVHOST_REACH_* value, n, value at n, value at n - 1, outside n, note."""
        kind = ctypes.c_int32()
        n, value, before, outside = ctypes.c_double(), ctypes.c_double(), ctypes.c_double(), ctypes.c_double()
        note = ctypes.create_string_buffer(512)  # the interface's bound for any note
        status = self.lib.cvhost_reach(self.handle, method, alpha, threshold, ctypes.byref(kind), ctypes.byref(n),
                                       ctypes.byref(value), ctypes.byref(before), ctypes.byref(outside), note,
                                       ctypes.sizeof(note))
        return (status, kind.value, n.value, value.value, before.value, outside.value,
                note.value.decode(errors="replace"))

    def info_fields(self) -> list[tuple[str, str]]:
        """The module's information as (name, value) fields, in `ljungcv info`'s order."""
        fields = []
        name, value = ctypes.c_char_p(), ctypes.c_char_p()
        while self.lib.cvhost_info_field(self.handle, len(fields), ctypes.byref(name), ctypes.byref(value)):
            fields.append((name.value.decode(errors="replace"), value.value.decode(errors="replace")))
        return fields


class FitOptions(ctypes.Structure):
    """cvhost_fit_options, version 1 (cvhost.h)."""
    _fields_ = [("version", ctypes.c_uint), ("y", _void_p), ("n", ctypes.c_size_t),
                ("p", ctypes.c_int), ("d", ctypes.c_int), ("q", ctypes.c_int),
                ("P", ctypes.c_int), ("D", ctypes.c_int), ("Q", ctypes.c_int), ("period", ctypes.c_int),
                ("xreg", _void_p), ("xreg_columns", ctypes.c_size_t), ("xreg_names", _c_char_pp),
                ("include_mean", ctypes.c_int), ("include_drift", ctypes.c_int),
                ("max_iterations", ctypes.c_int), ("weights", ctypes.c_size_t)]


FIT_OPTIONS_VERSION = 1

#: int stop_requested(void *context): asked between the procedure's fits.
STOP_REQUESTED = ctypes.CFUNCTYPE(ctypes.c_int, _void_p)


class IdentifyOptions(ctypes.Structure):
    """cvhost_identify_options, version 1 (cvhost.h)."""
    _fields_ = [("version", ctypes.c_uint), ("d", ctypes.c_int), ("D", ctypes.c_int),
                ("max_p", ctypes.c_int), ("max_q", ctypes.c_int), ("max_P", ctypes.c_int), ("max_Q", ctypes.c_int),
                ("stepwise", ctypes.c_int), ("max_order", ctypes.c_int), ("allow_constant", ctypes.c_int),
                ("max_models", ctypes.c_int), ("stop_requested", STOP_REQUESTED), ("stop_context", _void_p)]


IDENTIFY_OPTIONS_VERSION = 1


class OutlierOptions(ctypes.Structure):
    """cvhost_outlier_options, version 3 (cvhost.h): version 1's fields, the resampling's, the identification's."""
    _fields_ = [("version", ctypes.c_uint), ("model", FitOptions), ("types", ctypes.c_int32),
                ("delta", ctypes.c_double), ("alpha", ctypes.c_double), ("method", ctypes.c_char_p),
                ("critical_value", ctypes.c_double), ("max_rounds", ctypes.c_int),
                ("stop_requested", STOP_REQUESTED), ("stop_context", _void_p),
                ("resamples", ctypes.c_int), ("seed", ctypes.c_uint64),
                ("identify", ctypes.POINTER(IdentifyOptions))]


OUTLIER_OPTIONS_VERSION = 3
STATUS_STOPPED = 120837  #: the procedure stopped because stop_requested asked it to


def host() -> Host:
    """The process's host, opened on first use."""
    global _host
    if _host is None:
        with _lock:
            if _host is None:
                _host = Host(HOST_LIBRARY, MODULE_LIBRARY)
    return _host
