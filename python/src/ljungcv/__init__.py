"""Exact LJUNGCV critical values for outlier tests in time series, for NumPy.

LJUNGCV(n, alpha [, method]) is the critical value that an outlier test in a
time series of ``n`` observations uses at significance level ``alpha``.
Every value comes from the cvmodule function module itself, loaded through
the stand-in host's C interface (``libcvhost``) that this package carries:
the same bits that the host and the ``ljungcv`` command give.

>>> import numpy as np, ljungcv
>>> ljungcv.critical_value(10, 0.05)
3.087110344600084
>>> ljungcv.critical_value(100, 0.05, "L")
3.8100875719839755
>>> ljungcv.critical_value(np.arange(1, 1001), [[0.01], [0.05]]).shape
(2, 1000)
"""

from __future__ import annotations

import decimal
import functools
import numbers
from typing import Any, Dict, Optional, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

from ._host import host

__all__ = ["critical_value", "evaluate", "module_info",
           "STATUS_OK", "STATUS_NO_RESULT", "STATUS_INVALID_ARGUMENT"]
__version__ = "1.0.0"

#: The host's status codes, one per evaluation.
STATUS_OK = 0                   #: a value
STATUS_NO_RESULT = 120833       #: no value exists for these arguments
STATUS_INVALID_ARGUMENT = 120836  #: the function rejected an argument

Scalar = Union[float, int, np.floating, np.integer]
Method = Optional[str]


@overload
def critical_value(n: Scalar, alpha: Scalar, method: Method = ...) -> float: ...
@overload
def critical_value(n: npt.ArrayLike, alpha: npt.ArrayLike,
                   method: Method = ...) -> Union[float, npt.NDArray[np.float64]]: ...


def critical_value(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = "C") -> Any:
    """LJUNGCV(n, alpha, method): the critical value for n observations at level alpha.

    Parameters
    ----------
    n : number or array-like
        The number of observations. Counts are truncated toward zero to a
        32-bit integer, as the function does: 25.9 counts as 25. A count
        below 1, or one that does not fit 32 bits (NaN and infinities
        included), has no value.
    alpha : number or array-like
        The significance level, 0 <= alpha <= 0.1. At alpha = 0 (and below
        about 3.3e-16) there is no value; outside [0, 0.1] the function
        rejects the level.
    method : str or None
        ``"C"`` (also ``"CORR"``, ``"CORRECT"``, ``"CORRECTED"``; the
        default) for the small-sample corrected curve, ``"L"`` (also
        ``"LJUNG"``) for Ljung's asymptotic extreme-value approximation; in
        any case, with blanks around them. ``None`` makes the two-argument
        call LJUNGCV(n, alpha), which uses the corrected method.

    Returns
    -------
    float or numpy.ndarray
        A Python float when ``n`` and ``alpha`` are both scalars, otherwise a
        float64 array of their broadcast shape (NumPy's rules). Where no
        value exists or the function rejects an element's argument, the
        element is ``nan``; :func:`evaluate` tells which.

    Raises
    ------
    ValueError
        The method is not one of the names above (the module decides), or
        the shapes of ``n`` and ``alpha`` do not broadcast.
    TypeError
        ``n`` or ``alpha`` is not numeric (strings included), or ``method``
        is not a string.

    The two methods
    ---------------
    The corrected method starts at the normal quantiles for one observation,
    is exact for two, and equals Ljung's value at 100 and 200 observations.
    Ljung's method needs at least two observations; it falls for small n
    before it grows without bound.

    >>> critical_value(1, 0.05), critical_value(1, 0.05, "L")
    (1.9599639822884356, nan)
    >>> critical_value([6, 7, 8], 0.05, "ljung").tolist()   # lowest at n = 7
    [3.3851913888369185, 3.38370227414963, 3.3879410635935754]

    Where each curve stops growing with n: a critical value should grow with
    n and fall as the level grows, and each curve does so over a stretch of
    n only (``ljungcv limits`` gives them level by level). Ljung's curve
    falls from n = 2 to its lowest point (n = 5 at alpha 0.1, 7 at 0.05, 14
    at 0.01, 40 at 0.001) and grows from there on. The corrected curve holds
    from n = 1 up to n = 1,383,169 at alpha 0.1, 337,413 at 0.05, 75,599 at
    0.01, 5,037 at 0.005, 461 at 0.001 and 153 at 0.0001; beyond that it
    turns down in n (at 0.05 and 0.1 it keeps growing, but a slightly larger
    level then gives a larger value, which a critical value must not).

    >>> critical_value([460, 461, 462], 0.001).tolist()
    [5.180240637337008, 5.180240817869808, 5.180240732334095]

    Counts are truncated; missing values are ``nan``:

    >>> critical_value(25.9, 0.05) == critical_value(25, 0.05)
    True
    >>> critical_value([10, 10, 10, 0], [0.1, 0.2, 0.0, 0.05]).tolist()
    [2.8239385392335428, nan, nan, nan]
    """
    values, _ = evaluate(n, alpha, method)
    return values


@overload
def evaluate(n: Scalar, alpha: Scalar, method: Method = ...) -> Tuple[float, int]: ...
@overload
def evaluate(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = ...
             ) -> Tuple[Union[float, npt.NDArray[np.float64]], Union[int, npt.NDArray[np.int32]]]: ...


def evaluate(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = "C") -> Tuple[Any, Any]:
    """LJUNGCV values with the host's status code of each element.

    Takes the arguments of :func:`critical_value` and returns ``(values,
    statuses)``: a float and an int for scalar arguments, otherwise a
    float64 and an int32 array of the broadcast shape. The status is
    :data:`STATUS_OK` (0) with a value, :data:`STATUS_NO_RESULT` (120833)
    when no value exists, :data:`STATUS_INVALID_ARGUMENT` (120836) when the
    function rejected ``n`` or ``alpha``; the value is ``nan`` unless the
    status is 0. An unknown method raises ValueError instead.

    All elements are evaluated in one call into the host, with the GIL
    released, so several Python threads may evaluate at once.

    >>> evaluate(1, 0.05, "L")
    (nan, 120833)
    >>> values, statuses = evaluate([1, 2, 3], [[0.05], [0.5]], "L")
    >>> statuses.tolist()
    [[120833, 0, 0], [120836, 120836, 120836]]
    >>> values[0].tolist()
    [nan, 3.979803693577135, 3.5529225334258565]
    """
    n_array = _real_array(n, "n")
    alpha_array = _real_array(alpha, "alpha")
    text = _method_text(method)
    the_host = host()
    if text is not None and not _method_accepted(text):
        raise _unknown_method(method)

    if n_array.ndim == 0 and alpha_array.ndim == 0:
        value, status, _ = the_host.one(float(n_array), float(alpha_array), text)
        return (value if status == STATUS_OK else float("nan")), int(status)

    n_array, alpha_array = np.broadcast_arrays(n_array, alpha_array)
    n_array = np.ascontiguousarray(n_array)
    alpha_array = np.ascontiguousarray(alpha_array)
    values = np.empty(n_array.shape, dtype=np.float64)
    statuses = np.empty(n_array.shape, dtype=np.int32)
    if values.size:
        the_host.many(the_host.handle, values.size, _address(n_array), _address(alpha_array),
                      text, _address(values), _address(statuses))
    values[statuses != STATUS_OK] = np.nan
    return values, statuses


def module_info() -> Dict[str, str]:
    """What the host learns when it loads the module.

    The module's image information and version record, as ``ljungcv info``
    shows them: a dict from each field's name to its text (``"module"``, the
    file loaded; ``"marker"``, ``"magic"``, ``"short version"``, ``"build
    level"``, ``"build date"``, ...; ``"version 0"`` to ``"version 25"``, the
    version record's slots; ``"function"``, what the module registered).

    >>> info = module_info()
    >>> info["marker"]
    'ZMT_Image_Information='
    """
    info: Dict[str, str] = {}
    for line in host().module_info().splitlines():
        name, separator, value = line.partition(": ")
        if separator:
            info[name.strip()] = value.strip()
    return info


def _address(array: np.ndarray) -> int:
    return array.__array_interface__["data"][0]


_KINDS = {"U": "an array of text", "S": "an array of bytes", "O": "an array of other objects",
          "c": "an array of complex numbers", "M": "an array of dates", "m": "an array of time spans"}


def _real_array(x: npt.ArrayLike, name: str) -> np.ndarray:
    """x as float64, or TypeError: text never passes for a number."""
    array = np.asarray(x)
    if array.dtype.kind in "biuf":
        return array.astype(np.float64, copy=False)
    if array.dtype.kind == "O" and all(
            isinstance(element, (numbers.Real, decimal.Decimal)) for element in array.flat):
        return array.astype(np.float64)
    what = _KINDS.get(array.dtype.kind, str(array.dtype)) if array.ndim else type(x).__name__
    raise TypeError(f"{name} must be a real number or an array of real numbers, not {what}")


def _method_text(method: Method) -> Optional[bytes]:
    if method is None:
        return None
    if not isinstance(method, str):
        raise TypeError(f"method must be a string or None, not {type(method).__name__}")
    if "\0" in method:  # would end the C text early and name another method
        raise _unknown_method(method)
    return method.encode("utf-8")


@functools.lru_cache(maxsize=64)
def _method_accepted(text: bytes) -> bool:
    # The module decides which names it accepts: one evaluation at valid
    # n and alpha shows whether it rejects the third argument.
    return host().one(1.0, 0.05, text)[2] != 3


def _unknown_method(method: Method) -> ValueError:
    return ValueError(f"unknown method {method!r}: use 'C' (or 'CORR', 'CORRECT', 'CORRECTED') "
                      "for the corrected method, 'L' (or 'LJUNG') for Ljung's")
