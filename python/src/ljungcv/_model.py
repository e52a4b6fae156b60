"""The caller's series, model and regressors as the C interface's fit options read them.

ljungcv.arima, ljungcv.outliers and ljungcv.screen take the same model
arguments (y, order, seasonal_order, exog, trend, and for order="auto"
period and search) and read them here, one way for all. Values
are numbers only, read alike from lists, arrays and pandas objects: text
(numeric text too), booleans, dates, time spans and other objects are a
TypeError naming the first such value; None, NaN, pd.NA and a masked element
are missing values, which the core takes. The model's own rules (orders,
period, trend, infinite values) are the core's, and so are its messages.
"""

from __future__ import annotations

import ctypes
import datetime
import decimal
import math
import numbers
import sys
from typing import Any, Callable, List, Optional, Sequence, Tuple

import numpy as np

from . import _identify
from ._host import FIT_OPTIONS_VERSION, FitOptions, IdentifyOptions, host

# trend -> (include_mean, include_drift) of the C options; -1 is the core's
# default, a mean exactly when d + D = 0.
TRENDS = {None: (-1, 0), "n": (0, 0), "c": (1, 0), "t": (0, 1)}


class Model:
    """Fit options filled from the caller's arguments, with the arrays they point into.

    The options hold plain addresses: the arrays live as long as this object.
    """

    def __init__(self, options: FitOptions, arrays: Tuple[Any, ...], labels: Any, name: Any,
                 order: Tuple[int, int, int], seasonal_order: Tuple[int, int, int, int],
                 identify: Optional[IdentifyOptions] = None) -> None:
        self.options = options
        self.identify = identify             #: the identification's options for order="auto", else None
        self._arrays = arrays
        self.values: np.ndarray = arrays[0]  #: the series as the core reads it, NaN where missing
        self.labels = labels                 #: the pandas index of a Series, else None
        self.name = name                     #: the Series' name, else None
        self.order = order                   #: as given; (0, 0, 0) for order="auto" until identified
        self.seasonal_order = seasonal_order

    @property
    def label(self) -> str:
        """The model as the summaries name it: ARIMA(0,1,1)(0,1,1)[12]."""
        return _identify.label(self.order, self.seasonal_order)


def model(y: Any, order: Any, seasonal_order: Optional[Sequence[int]], exog: Any, trend: Optional[str],
          period: Any = None, search: Any = None, index_period: Optional[Callable[[], int]] = None) -> Model:
    """The fit options for y under the model, the core's defaults for everything else.

    order None is "auto" unless seasonal_order is given, when it is (0, 0, 0)
    as it always was. With "auto" the model is identified: period is the
    caller's, else index_period() (the table's, for screen), else the one y's
    pandas index states; search sets the identification's knobs.
    """
    values, labels, name = series(y, "y")
    auto = _auto(order, seasonal_order)
    if not (trend is None or isinstance(trend, str) and trend in TRENDS):
        raise ValueError(f"trend must be None, 'n', 'c' or 't', not {trend!r}")
    identify = None
    if auto:
        if seasonal_order is not None:
            raise ValueError("seasonal_order: order='auto' identifies the seasonal orders too; give the season's "
                             "length alone with period=, or give order=(p, d, q) with seasonal_order")
        if trend is not None:
            raise ValueError(f"trend={trend!r}: order='auto' chooses the mean or drift itself; leave trend None, "
                             "or give order=(p, d, q)")
        p = d = q = P = D = Q = 0
        s = _period(period, _identify.index_period(labels) if index_period is None else index_period())
        s = 0 if s == 1 else s  # a model without a season, as seasonal_order (0, 0, 0, 0) has
        identify = _identify.options(search)
    else:
        for argument, value in (("period", period), ("search", search)):
            if value is not None:
                raise ValueError(f"{argument}: only with order='auto'; with order=(p, d, q) the model is as given "
                                 "(the period in seasonal_order=(P, D, Q, s))")
        p, d, q = (0, 0, 0) if order is None else _integers(order, 3, "order", "(p, d, q) or 'auto'")
        P, D, Q, s = (0, 0, 0, 0) if seasonal_order is None else _integers(seasonal_order, 4, "seasonal_order",
                                                                           "(P, D, Q, s)")
    xreg, names = _regressors(exog, y, len(values))
    name_array = (ctypes.c_char_p * max(len(names), 1))(*(n.encode() for n in names))

    options = FitOptions()
    host().lib.cvhost_fit_options_init(ctypes.byref(options), FIT_OPTIONS_VERSION)
    options.y, options.n = address(values), len(values)
    options.p, options.d, options.q = p, d, q
    options.P, options.D, options.Q, options.period = P, D, Q, (s if s > 1 else 1)
    if auto and s < 0:
        options.period = s  # the core's to refuse, in its words
    options.xreg, options.xreg_columns = address(xreg), len(names)
    options.xreg_names = ctypes.cast(name_array, ctypes.POINTER(ctypes.c_char_p)) if names else None
    options.include_mean, options.include_drift = TRENDS[trend]
    return Model(options, (values, xreg, name_array), labels, name, (p, d, q), (P, D, Q, s), identify)


def _auto(order: Any, seasonal_order: Any) -> bool:
    if order is None:
        return seasonal_order is None  # seasonal_order alone kept its meaning: no (p, d, q)
    if isinstance(order, str):
        if order != _identify.AUTO:
            raise ValueError(f"order must be 'auto' or 3 integers (p, d, q), not {order!r}")
        return True
    return False


def _period(period: Any, stated: int) -> int:
    if period is None:
        return stated
    if isinstance(period, bool) or not isinstance(period, (int, np.integer)) or not -2**31 <= period < 2**31:
        raise ValueError(f"period must be an integer (the season's length, 2 to 366; 1: none), not {period!r}")
    return int(period)


def series(y: Any, name: str) -> Tuple[np.ndarray, Any, Any]:
    """y as a contiguous float64 vector with NaN for a missing value, its pandas index and name."""
    pd = sys.modules.get("pandas")
    labels = series_name = None
    if pd is not None and isinstance(y, pd.DataFrame):
        if y.shape[1] != 1:
            raise ValueError(f"{name} must be one series; this DataFrame has {y.shape[1]} columns")
        y = y.iloc[:, 0]
    if pd is not None and isinstance(y, pd.Series):
        labels, series_name = y.index, y.name
    array = doubles(y, name)
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {array.shape}")
    return np.ascontiguousarray(array), labels, series_name


def doubles(x: Any, name: str) -> np.ndarray:
    """x as float64, any shape: numbers only, NaN for a missing value.

    A pandas column of numbers (nullable ones too) converts directly; any
    other column is read as the array of its values, so that it is judged as
    a list of the same values is.
    """
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(x, pd.Series):
        if pd.api.types.is_numeric_dtype(x.dtype) and not (pd.api.types.is_bool_dtype(x.dtype)
                                                           or pd.api.types.is_complex_dtype(x.dtype)):
            return x.to_numpy(dtype=np.float64, na_value=np.nan)
        x = x.to_numpy()
    if isinstance(x, np.ma.MaskedArray):
        result = np.array(doubles(np.ma.getdata(x), name), dtype=np.float64)
        result[np.ma.getmaskarray(x)] = np.nan
        return result
    array = np.asarray(x)
    if array.dtype.kind in "iuf":
        return array.astype(np.float64)
    if not isinstance(x, np.ndarray) and array.dtype.kind != "O":
        # NumPy made one type of a list's mixed values (1 and "a" as text):
        # judge the values as they were given.
        array = np.asarray(x, dtype=object)
    if array.dtype.kind != "O":
        if array.size == 0:
            raise TypeError(f"{name} must hold numbers, not {array.dtype}")
        _refuse(name, array, 0)
    result = np.empty(array.shape, dtype=np.float64)
    for i, element in enumerate(array.flat):
        result.flat[i] = _double(element, name, array, i, pd)
    return result


def _double(element: Any, name: str, array: np.ndarray, i: int, pd: Any) -> float:
    if element is None or (pd is not None and element is pd.NA):
        return math.nan
    if isinstance(element, decimal.Decimal):
        return math.nan if element.is_nan() else float(element)  # float() refuses a signalling NaN
    if isinstance(element, numbers.Real) and not isinstance(element, (bool, np.bool_, np.timedelta64)):
        try:
            return float(element)
        except OverflowError:  # an integer beyond the doubles: infinite, which the core refuses
            return math.inf if element > 0 else -math.inf
    _refuse(name, array, i)
    raise AssertionError  # not reached


def _refuse(name: str, array: np.ndarray, i: int) -> None:
    """A TypeError on the array's i-th value (in C order), at its NumPy index."""
    element = array.flat[i]
    at = i if array.ndim == 1 else tuple(int(k) for k in np.unravel_index(i, array.shape))
    shown = repr(element)  # repr escapes control characters in text
    shown = shown if len(shown) <= 40 else shown[:37] + "..."
    raise TypeError(f"{name} must hold numbers; at index {at} it holds {_kind(element)} ({shown})")


def _kind(element: Any) -> str:
    if isinstance(element, (bool, np.bool_)):
        return "a boolean"
    if isinstance(element, (str, bytes, np.str_, np.bytes_)):
        return "text"
    if isinstance(element, (datetime.timedelta, np.timedelta64)):
        return "a time span"
    if isinstance(element, (datetime.date, datetime.time, np.datetime64)) or type(element).__name__ == "NaTType":
        return "a date"
    if isinstance(element, (complex, np.complexfloating)):
        return "a complex number"
    kind = type(element).__name__
    return f"{'an' if kind[:1].lower() in 'aeiou' else 'a'} {kind}"


def _integers(values: Any, count: int, name: str, form: str) -> Tuple[int, ...]:
    try:
        items = tuple(values)
    except TypeError:
        items = ()
    if len(items) != count or not all(isinstance(v, (int, np.integer)) and not isinstance(v, bool) for v in items):
        raise ValueError(f"{name} must be {count} integers {form}, not {values!r}")
    if not all(-2**31 <= v < 2**31 for v in items):
        raise ValueError(f"{name} must be {count} integers {form} in range, not {values!r}")
    return tuple(int(v) for v in items)


def _regressors(exog: Any, y: Any, n: int) -> Tuple[np.ndarray, List[str]]:
    """The regressors as one column-major block of doubles, and their names."""
    if exog is None:
        return np.empty(0), []
    pd = sys.modules.get("pandas")
    names: Optional[List[str]] = None
    if pd is not None and isinstance(exog, (pd.Series, pd.DataFrame)):
        if isinstance(y, (pd.Series, pd.DataFrame)) and not exog.index.equals(y.index):
            raise ValueError("exog's index differs from y's: give both the same index")
        frame = exog.to_frame() if isinstance(exog, pd.Series) else exog
        columns = [doubles(frame.iloc[:, j], "exog" if isinstance(exog, pd.Series) else f"exog column {column!r}")
                   for j, column in enumerate(frame.columns)]
        matrix = np.column_stack(columns) if columns else np.empty((len(frame), 0))
        names = None if isinstance(exog, pd.Series) and exog.name is None else [str(c) for c in frame.columns]
    else:
        matrix = doubles(exog, "exog")
    if matrix.ndim == 1:
        matrix = matrix.reshape(-1, 1)
    if matrix.ndim != 2 or matrix.shape[0] != n:
        raise ValueError(f"exog must have one row per value of y ({n}), not shape {matrix.shape}")
    if names is None:
        names = [f"x{j + 1}" for j in range(matrix.shape[1])]
    return np.asfortranarray(matrix).ravel(order="F"), names


def address(array: np.ndarray) -> Optional[int]:
    """The array's data as the C options take it (None for no values)."""
    return array.__array_interface__["data"][0] if array.size else None
