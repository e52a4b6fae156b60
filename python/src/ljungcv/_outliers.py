"""Outliers in a time series: an ARIMA fit, the module's critical value and the core's statistics.

The statistics and the locate stage are the core's (libcvhost's 1.2 calls);
this module only fits the model (statsmodels), hands its residuals and pi
weights over, and refits with the outliers found as regressors. statsmodels
is imported by :func:`outliers` alone, so the rest of the package works
without it.
"""

from __future__ import annotations

import ctypes
import math
import sys
from typing import Any, List, NamedTuple, Optional, Sequence, Tuple

import numpy as np

from ._host import host

__all__ = ["outliers", "outlier_statistics", "Outlier", "OutlierResults", "OUTLIER_TYPES"]

#: The outlier types and their codes in the C interface (also bits of a set).
OUTLIER_TYPES = {"IO": 1, "AO": 2, "LS": 4, "TC": 8}
_TYPE_NAMES = {code: name for name, code in OUTLIER_TYPES.items()}
_STATUS_OK = 0
_STATUS_INVALID_ARGUMENT = 120836
_MESSAGE_SIZE = 512
_MIN_OBSERVATIONS = 5
_MAX_ROUNDS = 10  # locate-and-refit rounds; each one only adds times not tried before


class Outlier(NamedTuple):
    """One outlier: where, of which type, how large, how significant."""
    index: int     #: 0-based position in the series
    type: str      #: "AO", "LS", "TC" or "IO"
    effect: float  #: its size on the series' scale, from the final fit
    tstat: float   #: its t statistic in the final fit
    label: Any = None  #: the index label of a pandas Series, else None


class OutlierResults:
    """What :func:`outliers` found.

    ``outliers`` is a list of :class:`Outlier` in time order;
    ``critical_value`` the threshold every outlier passed; ``fit`` the
    final statsmodels results (with the outliers as regressors ``x1``,
    ``x2``, ... in the order of ``outliers``); ``adjusted`` the series
    without the outlier effects (a Series for a Series, else an array);
    ``rounds`` the number of locate-and-refit rounds taken.
    """

    def __init__(self, outliers: List[Outlier], critical_value: float, fit: Any, adjusted: Any,
                 order: Tuple[int, int, int], rounds: int, times: Optional[List[str]] = None) -> None:
        self.outliers = outliers
        self.critical_value = critical_value
        self.fit = fit
        self.adjusted = adjusted
        self.order = order
        self.rounds = rounds
        self._times = times  # each outlier's time as the summary shows it

    def summary(self) -> str:
        """The outliers as a small table, with the model and the critical value.

        Times are the index's labels, a date index's in its own frequency
        (2005-03 for a monthly series, 2005Q1 for a quarterly one).
        """
        lines = [f"ARIMA{self.order}: {len(self.outliers)} outlier{'' if len(self.outliers) == 1 else 's'} "
                 f"at critical value {self.critical_value:.4f}"]
        if self.outliers:
            labels = self._times or [str(o.index if o.label is None else o.label) for o in self.outliers]
            width = max(5, *(len(label) for label in labels))
            lines.append(f"{'time':>{width}}  type  {'effect':>12}  {'t':>8}")
            for label, o in zip(labels, self.outliers):
                lines.append(f"{label:>{width}}  {o.type:<4}  {o.effect:12.6g}  {o.tstat:8.3f}")
        return "\n".join(lines)

    def __repr__(self) -> str:
        return self.summary()


def outlier_statistics(residuals: Any, pi: Any, type: str, delta: float = 0.7,
                       sigma: Optional[float] = None) -> Tuple[np.ndarray, np.ndarray]:
    """The effect and the statistic of an outlier of one type at every time.

    ``residuals`` e_0..e_{n-1} of a fitted model, ``pi`` its weights
    pi_1..pi_k (e_t = y_t - sum_j pi_j y_{t-j}; an empty sequence for none),
    ``type`` one of "AO", "LS", "TC", "IO", ``delta`` the temporary change's
    decay and ``sigma`` the residual scale (None: 1.4826 times the median
    absolute deviation of the residuals from their median). Returns
    ``(effects, tstats)``, two float64 arrays of length n; a level shift at
    the last time is an additive outlier, so both are NaN there.

    Raises ValueError for an unknown type, and with the core's reason for
    NaN or infinite residuals or weights, a delta outside (0, 1), a sigma
    that is not finite and positive, or no residuals.
    """
    code = _type_code(type)
    e = _doubles(residuals, "residuals")
    weights = _doubles(pi, "pi")
    scale = math.nan if sigma is None else float(sigma)
    if sigma is not None and math.isnan(scale):
        raise ValueError("sigma must be a finite positive number, or None for the default")
    lib = _outlier_library()
    effects = np.empty(e.size, dtype=np.float64)
    tstats = np.empty(e.size, dtype=np.float64)
    message = ctypes.create_string_buffer(_MESSAGE_SIZE)
    status = lib.cvhost_outlier_statistics(e.size, _address(e), weights.size, _address(weights), code,
                                           float(delta), scale, _address(effects), _address(tstats),
                                           message, _MESSAGE_SIZE)
    if status != _STATUS_OK:
        raise ValueError(message.value.decode(errors="replace"))
    return effects, tstats


def _locate(residuals: np.ndarray, pi: np.ndarray, types: int, delta: float, alpha: float,
            method: Optional[str], critical_value: float) -> Tuple[List[Tuple[int, int, float, float]], float]:
    """The core's locate stage: [(index, type code, effect, tstat)] in the order found, and the critical value."""
    the_host = host()
    lib = _outlier_library()
    text = None if method is None else method.encode("utf-8")
    capacity = 16
    while True:
        index = np.empty(capacity, dtype=np.uintp)
        kind = np.empty(capacity, dtype=np.int32)
        effect = np.empty(capacity, dtype=np.float64)
        tstat = np.empty(capacity, dtype=np.float64)
        count = ctypes.c_size_t()
        used = ctypes.c_double()
        message = ctypes.create_string_buffer(_MESSAGE_SIZE)
        status = lib.cvhost_locate_outliers(the_host.handle, residuals.size, _address(residuals), pi.size,
                                            _address(pi), types, delta, alpha, text, critical_value,
                                            capacity, _address(index), _address(kind), _address(effect),
                                            _address(tstat), ctypes.byref(count), ctypes.byref(used),
                                            message, _MESSAGE_SIZE)
        if status != _STATUS_OK:
            raise ValueError(message.value.decode(errors="replace"))
        if count.value <= capacity:
            found = [(int(index[i]), int(kind[i]), float(effect[i]), float(tstat[i])) for i in range(count.value)]
            return found, used.value
        capacity = count.value


def outliers(y: Any, order: Sequence[int] = (0, 0, 0), *, alpha: float = 0.05, method: Optional[str] = "C",
             types: Sequence[str] = ("AO", "LS", "TC"), delta: float = 0.7,
             critical_value: Optional[float] = None) -> OutlierResults:
    """Find the outliers of a series under an ARIMA(p, d, q) model.

    The model is fitted with statsmodels' ARIMA (a constant when d = 0).
    Its residuals (from time d on: the first d belong to no innovation) and
    its pi weights pi(B) = phi(B)(1 - B)^d / theta(B) go to the core's
    locate stage, which takes the largest outlier statistic while it
    exceeds the critical value. The model is then refitted with every
    outlier found as a regressor on the series' scale (AO a pulse, LS a
    step, TC a decay delta^j, IO the model's psi weights); while some
    |t| is below the critical value, the least significant is dropped and
    the model refitted. Locate and refit repeat on the new residuals until
    no new outlier appears (at most 10 rounds); an outlier once dropped is
    not taken again.

    Parameters
    ----------
    y : array-like or pandas.Series
        The series, at least 5 observations, none missing.
    order : (p, d, q)
        The ARIMA order.
    alpha, method
        The level and method of the critical value LJUNGCV(m, alpha,
        method), m the number of residuals tested (n - d).
    types : sequence of "AO", "LS", "TC", "IO"
        The outlier types looked for.
    delta : float
        The decay of a temporary change, 0 < delta < 1.
    critical_value : float or None
        A threshold of your own instead of LJUNGCV's (alpha and method are
        then unused).

    Returns
    -------
    OutlierResults
    """
    series, labels = _series(y)
    p, d, q = _order(order)
    if series.size - d < _MIN_OBSERVATIONS:
        raise ValueError(f"y has {series.size} observations; outlier detection needs at least "
                         f"{_MIN_OBSERVATIONS + d} for d = {d}")
    codes = _type_set(types)
    delta = float(delta)
    cval = math.nan if critical_value is None else float(critical_value)
    if critical_value is not None and not (math.isfinite(cval) and cval > 0):
        raise ValueError(f"critical_value must be a finite positive number, not {critical_value!r}")
    if method is not None and not isinstance(method, str):
        raise TypeError(f"method must be a string or None, not {type(method).__name__}")
    arima = _arima_class()
    fit = _fit(arima, series, (p, d, q))
    chosen, fit, exog, cval, rounds = _procedure(arima, series, (p, d, q), fit, codes, delta, float(alpha),
                                                 method, cval)
    beta = _outlier_params(fit, fit.params, len(chosen))
    tvalues = _outlier_params(fit, fit.tvalues, len(chosen))
    adjusted = series - exog @ beta if chosen else series.copy()
    found_list = [Outlier(time, _TYPE_NAMES[code], float(b), float(t),
                          None if labels is None else labels[time])
                  for (time, code), b, t in zip(chosen, beta, tvalues)]
    times = None if labels is None else _time_texts(labels, [time for time, _ in chosen])
    return OutlierResults(found_list, cval, fit, _like(y, adjusted), (p, d, q), rounds, times)


def _time_texts(labels: Any, positions: List[int]) -> List[str]:
    """The labels at positions as text; a date index's in its own frequency.

    A DatetimeIndex with a frequency (its own, or one pandas infers from
    three or more dates) gives Periods of it: 2005-03 for months, 2005Q1 for
    quarters, 2005 for years. Without one, dates that are all midnight show
    as dates. Any other index shows its labels as they are.
    """
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(labels, pd.DatetimeIndex):
        freq = labels.freq or (pd.infer_freq(labels) if len(labels) >= 3 else None)
        if freq is not None:
            try:
                # The index's own frequency names the Period's (MS: months).
                periods = pd.DatetimeIndex(labels, freq=freq).to_period()
                return [str(periods[position]) for position in positions]
            except (ValueError, TypeError, AttributeError):  # a frequency no Period has
                pass
        if (labels == labels.normalize()).all():
            return [labels[position].strftime("%Y-%m-%d") for position in positions]
    return [str(labels[position]) for position in positions]


def _procedure(arima: Any, series: np.ndarray, order: Tuple[int, int, int], fit: Any, codes: int, delta: float,
               alpha: float, method: Optional[str], cval: float
               ) -> Tuple[List[Tuple[int, int]], Any, Optional[np.ndarray], float, int]:
    """Locate and refit from the model's first fit: (time, type code) pairs in time order, the final
    fit, its outlier regressors (None for none), the critical value and the rounds taken.

    A separate step so that the size-and-power study can run several
    thresholds on one first fit.
    """
    d = order[1]
    chosen: List[Tuple[int, int]] = []   # the model's regressors, in time order
    # Every (time, type code) ever taken; a level shift at the first time of
    # an undifferenced series is its mean, which the model has already.
    tried = {(0, OUTLIER_TYPES["LS"])}
    exog = None
    rounds = 0
    while rounds < _MAX_ROUNDS:
        rounds += 1
        residuals = np.ascontiguousarray(np.asarray(fit.resid, dtype=np.float64)[d:])
        pi = _pi_weights(fit, d, residuals.size - 1)
        found, cval = _locate(residuals, pi, codes, delta, alpha, method, cval)
        taken = {time for time, _ in chosen}
        new = [(time + d, code) for time, code, _, _ in found
               if time + d not in taken and (time + d, code) not in tried]
        if not new:
            break
        tried.update(new)
        chosen = sorted(chosen + new)
        while chosen:
            # An IO's path comes from the fit before: the regressors must be known to fit.
            exog = _regressors(fit, series.size, d, chosen, delta)
            fit = _fit(arima, series, order, exog)
            t = np.abs(_outlier_params(fit, fit.tvalues, len(chosen)))
            weakest = int(np.argmin(np.where(np.isnan(t), -1.0, t)))
            if not (np.isnan(t[weakest]) or t[weakest] < cval):
                break
            del chosen[weakest]
        if not chosen:
            exog = None
            fit = _fit(arima, series, order)
    return chosen, fit, exog, cval, rounds


def _fit(arima: Any, series: np.ndarray, order: Tuple[int, int, int], exog: Optional[np.ndarray] = None) -> Any:
    # The observed information for the standard errors: the default outer
    # product of gradients gives a pulse regressor, whose gradient lives at
    # one time, a standard error many times too large.
    return arima(series, order=order, exog=exog).fit(cov_type="oim")


def _outlier_params(fit: Any, values: Any, count: int) -> np.ndarray:
    """The entries of values (params, tvalues) that belong to the outlier regressors x1..x{count}."""
    names = list(fit.param_names)
    array = np.asarray(values, dtype=np.float64)
    return np.array([array[names.index(f"x{i}")] for i in range(1, count + 1)], dtype=np.float64)


def _regressors(model: Any, n: int, d: int, chosen: List[Tuple[int, int]], delta: float) -> np.ndarray:
    """One column per outlier: its shape on the series' scale, starting at its time."""
    exog = np.zeros((n, len(chosen)), dtype=np.float64)
    psi = None
    for column, (time, code) in enumerate(chosen):
        span = n - time
        if code == OUTLIER_TYPES["AO"]:
            exog[time, column] = 1.0
        elif code == OUTLIER_TYPES["LS"]:
            exog[time:, column] = 1.0
        elif code == OUTLIER_TYPES["TC"]:
            exog[time:, column] = delta ** np.arange(span, dtype=np.float64)
        else:
            if psi is None:
                psi = _psi_weights(model, d, n)
            exog[time:, column] = psi[:span]
    return exog


def _model_polynomials(model: Any, d: int) -> Tuple[np.ndarray, np.ndarray]:
    """phi(B)(1 - B)^d and theta(B) as coefficient arrays, lowest power first.

    """
    ar = np.asarray(model.arparams, dtype=np.float64)
    ma = np.asarray(model.maparams, dtype=np.float64)
    phi = np.concatenate(([1.0], -ar))
    for _ in range(d):
        phi = np.convolve(phi, [1.0, -1.0])
    theta = np.concatenate(([1.0], ma))
    return phi, theta


def _series_ratio(numerator: np.ndarray, denominator: np.ndarray, terms: int) -> np.ndarray:
    """The first `terms` coefficients of numerator(B) / denominator(B), denominator[0] = 1."""
    c = np.zeros(terms, dtype=np.float64)
    for j in range(terms):
        value = numerator[j] if j < numerator.size else 0.0
        for i in range(1, min(j, denominator.size - 1) + 1):
            value -= denominator[i] * c[j - i]
        c[j] = value
    return c


def _pi_weights(fit: Any, d: int, count: int) -> np.ndarray:
    """pi_1..pi_count of the fitted model: pi(B) = 1 - pi_1 B - ... = phi(B)(1 - B)^d / theta(B)."""
    phi, theta = _model_polynomials(fit, d)
    return np.ascontiguousarray(-_series_ratio(phi, theta, count + 1)[1:])


def _psi_weights(model: Any, d: int, count: int) -> np.ndarray:
    """psi_0..psi_{count-1}: psi(B) = theta(B) / (phi(B)(1 - B)^d), the IO's path on the series."""
    phi, theta = _model_polynomials(model, d)
    return _series_ratio(theta, phi, count)


def _arima_class() -> Any:
    try:
        from statsmodels.tsa.arima.model import ARIMA
    except ImportError as error:
        raise ImportError("ljungcv.outliers fits its model with statsmodels, which is not installed: "
                          "install Debian's python3-statsmodels (apt-get install python3-statsmodels) "
                          "or pip install 'ljungcv[statsmodels]'") from error
    return ARIMA


def _outlier_library() -> Any:
    # The host checked at load that the library is 1.2 or later.
    return host().lib


def _type_code(name: Any) -> int:
    if not isinstance(name, str) or name.upper() not in OUTLIER_TYPES:
        raise ValueError(f"unknown outlier type {name!r}: the types are "
                         + ", ".join(f'"{t}"' for t in OUTLIER_TYPES))
    return OUTLIER_TYPES[name.upper()]


def _type_set(types: Any) -> int:
    if isinstance(types, str):
        types = (types,)
    codes = [_type_code(name) for name in types]
    if not codes:
        raise ValueError("types is empty: give at least one of " + ", ".join(f'"{t}"' for t in OUTLIER_TYPES))
    result = 0
    for code in codes:
        result |= code
    return result


def _order(order: Any) -> Tuple[int, int, int]:
    try:
        values = tuple(order)
    except TypeError:
        values = ()
    if len(values) != 3 or not all(isinstance(v, (int, np.integer)) and not isinstance(v, bool) and v >= 0
                                   for v in values):
        raise ValueError(f"order must be three non-negative integers (p, d, q), not {order!r}")
    return int(values[0]), int(values[1]), int(values[2])


def _series(y: Any) -> Tuple[np.ndarray, Optional[Any]]:
    """y as a float64 vector, and the index labels of a pandas Series."""
    labels = None
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(y, pd.DataFrame):
        if y.shape[1] != 1:
            raise ValueError(f"y must be one series; this DataFrame has {y.shape[1]} columns")
        y = y.iloc[:, 0]
    if pd is not None and isinstance(y, pd.Series):
        labels = y.index
        y = y.to_numpy(dtype=np.float64, na_value=np.nan)
    array = np.asarray(y)
    if array.dtype.kind not in "biuf":
        raise TypeError(f"y must be numeric, not an array of {array.dtype}")
    array = np.array(array, dtype=np.float64).reshape(-1) if array.ndim <= 1 else None
    if array is None:
        raise ValueError("y must be one-dimensional")
    missing = np.flatnonzero(~np.isfinite(array))
    if missing.size:
        raise ValueError(f"y has {missing.size} missing or infinite value{'' if missing.size == 1 else 's'}, "
                         f"the first at position {int(missing[0])}: fill or drop them first")
    return array, labels


def _like(y: Any, values: np.ndarray) -> Any:
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(y, pd.DataFrame):
        y = y.iloc[:, 0]
    if pd is not None and isinstance(y, pd.Series):
        return pd.Series(values, index=y.index, name=y.name)
    return values


def _doubles(x: Any, name: str) -> np.ndarray:
    array = np.asarray(x)
    if array.ndim > 1 or array.dtype.kind not in "biuf":
        raise ValueError(f"{name} must be a one-dimensional array of numbers")
    return np.ascontiguousarray(array.reshape(-1), dtype=np.float64)


def _address(array: np.ndarray) -> int:
    return array.__array_interface__["data"][0] if array.size else 0
