"""Outliers in a time series: the core's whole procedure, and its statistics for a model of one's own.

:func:`outliers` makes one call into the core (cvhost_find_outliers), which
fits the model, locates the outliers, refits and drops, and holds every rule
and default of the procedure; this file reads the arguments in (the model
as :func:`ljungcv.arima` reads it), the results out, and turns the result's
flags into warnings. :func:`outlier_statistics` is the statistics alone.
"""

from __future__ import annotations

import ctypes
import math
import numbers
import signal
import sys
import threading
import warnings
from typing import Any, List, Mapping, NamedTuple, Optional, Sequence, Tuple, Union

import numpy as np

from ._arima import ArimaResults, _copy
from ._host import OUTLIER_OPTIONS_VERSION, STATUS_STOPPED, STOP_REQUESTED, OutlierOptions, host
from ._identify import Identification
from ._model import Model, address, model

__all__ = ["outliers", "outlier_statistics", "Outlier", "OutlierResults", "OutlierWarning", "OUTLIER_TYPES",
           "Identifications"]

#: The outlier types and their codes in the C interface (also bits of a set).
OUTLIER_TYPES = {"IO": 1, "AO": 2, "LS": 4, "TC": 8, "SLS": 16}
_TYPE_NAMES = {code: name for name, code in OUTLIER_TYPES.items()}
_STATUS_OK = 0
_MESSAGE_SIZE = 512
# cvhost_outliers_flags' bits, by the result's field each sets.
_FLAGS = {"reached_bound": 1, "rounds_exhausted": 2, "short_series": 4, "heavy_tails": 8}


class OutlierWarning(UserWarning):
    """What :func:`outliers` found may not mean what the level says.

    One warning per condition the core reports; ``flag`` names the result's
    field that is set (``"short_series"``, ``"heavy_tails"``,
    ``"reached_bound"`` or ``"rounds_exhausted"``).
    """

    def __init__(self, message: str, flag: str = "") -> None:
        super().__init__(message)
        self.flag = flag


class Outlier(NamedTuple):
    """One outlier: where, of which type, how large, how significant."""
    index: int     #: 0-based position in the series
    type: str      #: "AO", "LS", "TC", "IO" or "SLS"
    effect: float  #: its size on the series' scale, from the final fit
    tstat: float   #: its t statistic in the final fit
    label: Any = None  #: the index label of a pandas Series, else None


class Identifications(NamedTuple):
    """The two identifications of outliers(order="auto"), each an :class:`ljungcv.Identification`."""
    series: Identification    #: on the series as given
    adjusted: Identification  #: on the series adjusted for the first run's outliers: the final model's


class OutlierResults:
    """What :func:`outliers` found.

    ``outliers``: a list of :class:`Outlier` in time order. ``critical_value``:
    the threshold every outlier passed. ``tested``: the residuals tested (the
    count the critical value is for). ``rounds``: the locate-and-refit rounds
    taken. ``order``, ``seasonal_order``: the model (the final one, for
    order="auto"). ``identification``: for order="auto", how the model was
    chosen (:class:`Identifications`: on the series, and on the series
    adjusted for the outliers first found, which chose the final model);
    None for a model given. ``fit``: the final fit,
    an :class:`ljungcv.ArimaResults` whose last coefficients are the
    outliers' (named by type and 1-based time, ``"LS36"``). ``adjusted``: the
    series without the outliers' effects (a Series for a Series, else an
    array; missing values stay NaN). ``excess_kurtosis`` and
    ``kurtosis_p_value``: the final fit's residuals, the outliers' times aside, against the normal law.
    ``calibrated``: the critical value was calibrated by resampling, and
    ``tail_dof`` the degrees of freedom of the t law drawn (inf: normal;
    NaN when not calibrated).
    The flags ``reached_bound``, ``rounds_exhausted``, ``short_series`` and
    ``heavy_tails`` are each warned of by :func:`outliers` when set.
    """

    def __init__(self, result: Any, request: Model) -> None:
        """Copies everything out of the core's result, which the caller frees."""
        lib = host().lib
        count = lib.cvhost_outliers_count(result)
        index = _copy(lib.cvhost_outliers_index(result), count).astype(np.int64)
        codes = _copy(lib.cvhost_outliers_type(result), count)
        effect = _copy(lib.cvhost_outliers_effect(result), count)
        tstat = _copy(lib.cvhost_outliers_tstat(result), count)
        labels = request.labels
        self.outliers: List[Outlier] = [
            Outlier(int(i), _TYPE_NAMES[int(c)], float(e), float(t), None if labels is None else labels[int(i)])
            for i, c, e, t in zip(index, codes, effect, tstat)]
        self.critical_value: float = lib.cvhost_outliers_critical_value(result)
        self.tested: int = lib.cvhost_outliers_tested(result)
        self.rounds: int = lib.cvhost_outliers_rounds(result)
        n = len(request.values)
        self.fit = ArimaResults(lib.cvhost_outliers_fit(result), request)
        self.order: Tuple[int, int, int] = self.fit.order
        self.seasonal_order: Tuple[int, int, int, int] = self.fit.seasonal_order
        self.identification: Optional[Identifications] = None
        if request.identify is not None:
            self.identification = Identifications(Identification(lib.cvhost_outliers_identification(result, 0)),
                                                  Identification(lib.cvhost_outliers_identification(result, 1)))
        adjusted = _copy(lib.cvhost_outliers_adjusted(result), n)
        self.adjusted: Any = adjusted
        if labels is not None:
            self.adjusted = sys.modules["pandas"].Series(adjusted, index=labels, name=request.name)
        self.excess_kurtosis: float = lib.cvhost_outliers_excess_kurtosis(result)
        self.kurtosis_p_value: float = lib.cvhost_outliers_kurtosis_p_value(result)
        self.calibrated: bool = bool(lib.cvhost_outliers_calibrated(result))
        self.tail_dof: float = lib.cvhost_outliers_tail_dof(result)
        flags = lib.cvhost_outliers_flags(result)
        self.reached_bound: bool = bool(flags & _FLAGS["reached_bound"])
        self.rounds_exhausted: bool = bool(flags & _FLAGS["rounds_exhausted"])
        self.short_series: bool = bool(flags & _FLAGS["short_series"])
        self.heavy_tails: bool = bool(flags & _FLAGS["heavy_tails"])
        self._label = self.fit._label
        self._values = request.values.copy()
        self._labels = labels

    def notes(self) -> List[Tuple[str, str]]:
        """(flag, sentence) for each flag that is set: the warnings' and the summary's words."""
        notes = []
        if self.short_series:
            notes.append(("short_series", f"short series: with {self.tested} residuals tested, more outliers are "
                          "reported than alpha says"))
        if self.heavy_tails:
            notes.append(("heavy_tails", f"heavy tails: the residuals have excess kurtosis "
                          f"{self.excess_kurtosis:.3g} (p = {self.kurtosis_p_value:.3g}); the critical value "
                          "assumes normal residuals (resamples= calibrates it for these tails)"))
        if self.reached_bound:
            notes.append(("reached_bound", f"reached the bound: outliers were taken up to a fifth of the "
                          f"{self.tested} residuals tested; the model or the threshold does not fit the series"))
        if self.rounds_exhausted:
            notes.append(("rounds_exhausted", f"rounds exhausted: the last of {self.rounds} rounds still found new "
                          "outliers (max_rounds)"))
        return notes

    def summary(self) -> str:
        """The model, the critical value, the outliers as a table, and a line per flag set.

        Times are the index's labels, a date index's in its own frequency
        (2005-03 for a monthly series, 2005Q1 for a quarterly one).
        """
        count = len(self.outliers)
        lines = [f"{self._label}: {count} outlier{'' if count == 1 else 's'} at critical value "
                 f"{self.critical_value:.4f}" + (f" (calibrated by resampling, t with {self.tail_dof:.3g} "
                                                 "degrees of freedom)" if self.calibrated else "")]
        if self.identification is not None:
            lines.append(f"the model: {self.identification.adjusted.describe()}, on the series adjusted for "
                         "the outliers first found")
        if self.outliers:
            if self._labels is None:
                labels = [str(o.index) for o in self.outliers]
            else:
                labels = _time_texts(self._labels, [o.index for o in self.outliers])
            width = max(5, *(len(label) for label in labels))
            lines.append(f"{'time':>{width}}  type  {'effect':>12}  {'t':>8}")
            for label, o in zip(labels, self.outliers):
                lines.append(f"{label:>{width}}  {o.type:<4}  {o.effect:12.6g}  {o.tstat:8.3f}")
        lines.extend(f"note: {sentence}" for _, sentence in self.notes())
        return "\n".join(lines)

    def frame(self) -> Any:
        """The outliers as a pandas DataFrame: index, type, effect, tstat, and label for a Series."""
        import pandas as pd
        columns = {"index": np.array([o.index for o in self.outliers], dtype=np.int64),
                   "type": [o.type for o in self.outliers],
                   "effect": np.array([o.effect for o in self.outliers], dtype=np.float64),
                   "tstat": np.array([o.tstat for o in self.outliers], dtype=np.float64)}
        if self._labels is not None:
            columns["label"] = self._labels[[o.index for o in self.outliers]]
        return pd.DataFrame(columns)

    def plot(self, ax: Any = None) -> Any:
        """Draw the series, the adjusted series and the outliers (matplotlib); returns the axes."""
        try:
            import matplotlib.pyplot as plt
        except ImportError as error:
            raise ImportError("OutlierResults.plot draws with matplotlib, which is not installed: install "
                              "Debian's python3-matplotlib (apt-get install python3-matplotlib)") from error
        if ax is None:
            _, ax = plt.subplots()
        x: Any = np.arange(len(self._values))
        if self._labels is not None:
            x = self._labels.to_timestamp() if hasattr(self._labels, "to_timestamp") else self._labels
        ax.plot(x, self._values, color="grey", label="series")
        ax.plot(x, np.asarray(self.adjusted, dtype=np.float64), color="tab:blue", label="adjusted")
        where = [o.index for o in self.outliers]
        ax.plot(x[where], self._values[where], linestyle="none", marker="o", color="tab:red", label="outliers")
        for o in self.outliers:
            ax.annotate(o.type, (x[o.index], self._values[o.index]), textcoords="offset points", xytext=(4, 4),
                        color="tab:red")
        ax.set_title(f"{self._label}: outliers at critical value {self.critical_value:.4f}")
        ax.legend()
        return ax

    def __repr__(self) -> str:
        return self.summary()


def outliers(y: Any, order: Union[Sequence[int], str, None] = None, seasonal_order: Optional[Sequence[int]] = None,
             *, exog: Any = None, trend: Optional[str] = None, period: Optional[int] = None,
             search: Optional[Mapping[str, int]] = None, alpha: Optional[float] = None,
             method: Optional[str] = None, types: Optional[Sequence[str]] = None, delta: Optional[float] = None,
             critical_value: Optional[float] = None, max_rounds: Optional[int] = None,
             resamples: Optional[int] = None, seed: Optional[int] = None) -> OutlierResults:
    """Find the outliers of a series under a regression with seasonal ARIMA errors.

    The core fits the model (as :func:`ljungcv.arima` does), locates the
    largest outlier statistic in the fit's standardized residuals while it
    exceeds the critical value, refits with every outlier found as a
    regressor on the series' scale (AO a pulse, LS a step, TC delta^j, IO
    the model's psi weights), drops the weakest while its |t| is below the
    critical value, and repeats until a round adds nothing. A (time, type)
    once tried is not taken again.

    Parameters
    ----------
    y, order, seasonal_order, exog, trend, period, search
        The series and the model, as :func:`ljungcv.arima` takes them
        (``seasonal_order`` None: no season). Missing values (NaN, None,
        pd.NA, masked) are skipped; an infinite value is an error. With
        order "auto" (the default unless ``seasonal_order`` is given) the
        model is identified on the series, the procedure run, the model
        identified again on the series adjusted for the outliers found, and
        the procedure run once more if that model differs.
    alpha : float, default 0.05
        The level of the critical value LJUNGCV(m, alpha, method), m the
        residuals tested (n less the d + D s values the differencing takes,
        less the missing ones).
    method : str, default the corrected method
        LJUNGCV's method, as :func:`ljungcv.critical_value` takes it.
    types : sequence of "AO", "LS", "TC", "IO", "SLS", default ("AO", "LS", "TC")
        The outlier types looked for. "SLS", a seasonal level shift (a step
        in one season: at T, T + s, T + 2s, ...), needs a seasonal model.
    delta : float, default 0.7
        The decay of a temporary change, 0 < delta < 1.
    critical_value : float, optional
        A threshold of your own instead of LJUNGCV's (alpha and method are
        then unused).
    max_rounds : int, default 10
        Locate-and-refit rounds, 1 to 100.
    resamples : int, optional
        Calibrate the critical value for the series' own tails instead of
        LJUNGCV's, which assumes normal residuals: a first pass at LJUNGCV's
        value, a Student t law fitted to what its final model leaves (its
        outliers counted as beyond the largest other residual), and the
        1 - alpha quantile of the largest outlier statistic on ``resamples``
        drawn series of those innovations (100 to 100000, at least
        10 / alpha; 1000 is a good count). Not with ``critical_value``.
    seed : int, default the core's
        The draws' seed (0 to 2**64 - 1): the same seed gives the same bits.

    None for any of these means the core's default, given above. At most a
    fifth of the tested residuals become outliers.

    Returns
    -------
    OutlierResults

    Warns
    -----
    OutlierWarning
        One per condition: fewer than 30 residuals tested (more outliers are
        reported than alpha says), heavy tails in the final fit's residuals
        without the outliers' times (a kurtosis test below 0.10: the critical
        value assumes normal residuals), the count reached its bound (the model or the threshold
        does not fit the series), the last round still found new outliers.

    Raises
    ------
    ValueError, TypeError
        Bad input, with the argument and the rule (TypeError for what is not
        a number).
    KeyboardInterrupt
        Ctrl-C during the call: the core stops at its next fit.
    """
    request = model(y, order, seasonal_order, exog, trend, period, search)
    lib = host().lib
    options = _options(request, types, delta, alpha, method, critical_value, max_rounds, resamples, seed)

    result = ctypes.c_void_p()
    message = ctypes.create_string_buffer(_MESSAGE_SIZE)
    with _Interrupt() as interrupt:
        options.stop_requested = interrupt.hook
        if request.identify is not None:
            request.identify.stop_requested = interrupt.hook
        status = lib.cvhost_find_outliers(host().handle, ctypes.byref(options), ctypes.byref(result), message,
                                          _MESSAGE_SIZE)
    try:
        if interrupt.arrived or status == STATUS_STOPPED:
            raise KeyboardInterrupt
        if status != _STATUS_OK:
            raise ValueError(message.value.decode(errors="replace"))
        found = OutlierResults(result, request)
    finally:
        lib.cvhost_outliers_free(result)
    for flag, sentence in found.notes():
        warnings.warn(OutlierWarning(sentence, flag), stacklevel=2)
    return found


def _options(request: Any, types: Any, delta: Any, alpha: Any, method: Any, critical_value: Any,
             max_rounds: Any, resamples: Any, seed: Any) -> OutlierOptions:
    """The options of outliers and screen: the request's model, the core's defaults where an argument is None."""
    options = OutlierOptions()
    host().lib.cvhost_outlier_options_init(ctypes.byref(options), OUTLIER_OPTIONS_VERSION)
    options.model = request.options
    if request.identify is not None:
        options.identify = ctypes.pointer(request.identify)
    if types is not None:
        options.types = _type_set(types)
    if delta is not None:
        options.delta = _real(delta, "delta")
    if alpha is not None:
        options.alpha = _real(alpha, "alpha")
    if method is not None:
        options.method = _method(method)
    if critical_value is not None:
        options.critical_value = _real(critical_value, "critical_value")
        if math.isnan(options.critical_value):  # NaN in the options is LJUNGCV's threshold
            raise ValueError("critical_value is nan: give a finite positive threshold, or None for LJUNGCV's")
    if max_rounds is not None:
        options.max_rounds = _int(max_rounds, "max_rounds")
    if resamples is not None:
        options.resamples = _int(resamples, "resamples")
    if seed is not None:
        options.seed = _seed(seed)
    return options


class _Interrupt:
    """Ctrl-C while the core runs the procedure: asked for between fits, raised when the call is back.

    A SIGINT during a foreign call is handled when Python code next runs in
    the main thread: here the stop hook, which the core calls between fits.
    Python's own handler would raise KeyboardInterrupt as the hook starts,
    before any try in it, and ctypes would drop it; so for the call a handler
    that notes the interrupt takes its place, and the hook answers with the
    note. With a handler of the caller's own, or off the main thread, no
    hook is set: the caller's handler runs once the call is back.
    """

    def __init__(self) -> None:
        self.arrived = False
        self.hook = STOP_REQUESTED()  # NULL: no hook
        self._previous: Any = None

    def __enter__(self) -> "_Interrupt":
        if (threading.current_thread() is threading.main_thread()
                and signal.getsignal(signal.SIGINT) is signal.default_int_handler):
            self._previous = signal.signal(signal.SIGINT, self._note)
            self.hook = STOP_REQUESTED(lambda context: int(self.arrived))
        return self

    def __exit__(self, *exception: Any) -> None:
        if self._previous is not None:
            signal.signal(signal.SIGINT, self._previous)

    def _note(self, signum: int, frame: Any) -> None:
        self.arrived = True


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
    if code == OUTLIER_TYPES["SLS"]:
        raise ValueError("a seasonal level shift (SLS) needs the model's period, which outlier_statistics "
                         "does not take: ljungcv.outliers looks for it")
    e = _doubles(residuals, "residuals")
    weights = _doubles(pi, "pi")
    scale = math.nan if sigma is None else float(sigma)
    if sigma is not None and math.isnan(scale):
        raise ValueError("sigma must be a finite positive number, or None for the default")
    lib = host().lib
    effects = np.empty(e.size, dtype=np.float64)
    tstats = np.empty(e.size, dtype=np.float64)
    message = ctypes.create_string_buffer(_MESSAGE_SIZE)
    status = lib.cvhost_outlier_statistics(e.size, address(e), weights.size, address(weights), code,
                                           float(delta), scale, address(effects), address(tstats),
                                           message, _MESSAGE_SIZE)
    if status != _STATUS_OK:
        raise ValueError(message.value.decode(errors="replace"))
    return effects, tstats


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


def _real(value: Any, name: str) -> float:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number or None for the default, not {type(value).__name__} "
                        f"{value!r}")
    try:
        return float(value)
    except OverflowError:  # an integer beyond the doubles: the core refuses the infinity
        return math.inf if value > 0 else -math.inf


def _int(value: Any, name: str) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{name} must be an integer or None for the default, not {type(value).__name__} "
                        f"{value!r}")
    if not -2**31 <= value < 2**31:  # the core's own range check sees a C int
        raise ValueError(f"{name} {value} is out of range")
    return int(value)


def _seed(value: Any) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"seed must be an integer or None for the default, not {type(value).__name__} {value!r}")
    if not 0 <= value < 2**64:
        raise ValueError(f"seed {value} is out of range: 0 to 2**64 - 1")
    return int(value)


def _method(method: Any) -> bytes:
    if not isinstance(method, str):
        raise TypeError(f"method must be a string or None for the default, not {type(method).__name__}")
    if "\0" in method:  # would end the C text early and name another method
        raise ValueError(f"unknown method {method!r}")
    return method.encode("utf-8")


def _type_code(name: Any) -> int:
    if not isinstance(name, str) or name.upper() not in OUTLIER_TYPES:
        raise ValueError(f"unknown outlier type {name!r}: the types are "
                         + ", ".join(f'"{t}"' for t in OUTLIER_TYPES))
    return OUTLIER_TYPES[name.upper()]


def _type_set(types: Any) -> int:
    if isinstance(types, str):
        types = (types,)
    result = 0
    for name in types:
        result |= _type_code(name)
    return result  # none: the core says that an empty set finds nothing


def _doubles(x: Any, name: str) -> np.ndarray:
    array = np.asarray(x)
    if array.ndim > 1 or array.dtype.kind not in "biuf":
        raise ValueError(f"{name} must be a one-dimensional array of numbers")
    return np.ascontiguousarray(array.reshape(-1), dtype=np.float64)
