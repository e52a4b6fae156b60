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
>>> ljungcv.critical_value(np.arange(1, 1001), [[0.01], [0.05]], check=False).shape
(2, 1000)

NumPy masked arrays give masked results; pandas Series and DataFrames give
results of the same form (index, name, columns), and a missing element of a
nullable column (``pd.NA``) gives a missing result (``nan``). Two pandas
arguments pair by label, never by position: two Series need one index, two
DataFrames one index and one set of columns, and a Series goes with a
DataFrame along the axis its index matches (the rows, or the columns);
other labels are a ValueError. pandas is not needed otherwise.
"""

from __future__ import annotations

import decimal
import functools
import math
import numbers
import sys
import warnings
from typing import Any, Dict, List, NamedTuple, Optional, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

from ._host import host
from ._arima import ArimaResults, arima
from ._identify import Candidate, Identification
from ._outliers import (OUTLIER_TYPES, Identifications, Outlier, OutlierResults, OutlierWarning, outlier_statistics,
                        outliers)
from ._screen import ScreenResults, screen

__all__ = ["arima", "ArimaResults", "Identification", "Identifications", "Candidate", "critical_value", "evaluate", "assess", "limits", "reach", "module_info",
           "outliers", "outlier_statistics", "Outlier", "OutlierResults", "OutlierWarning", "OUTLIER_TYPES",
           "Assessment", "Stretch", "Reach", "OutOfRangeWarning", "DomainWarning",
           "STATUS_OK", "STATUS_NO_RESULT", "STATUS_INVALID_ARGUMENT",
           "RANGE_HOLDS", "RANGE_BELOW_PREVIOUS_N", "RANGE_BELOW_LARGER_LEVEL", "RANGE_NO_VALUE",
           "REACH_CROSSES", "REACH_FROM_START", "REACH_NEVER", "screen", "ScreenResults"]
__version__ = "1.5.0"

#: The host's status codes, one per evaluation.
STATUS_OK = 0                   #: a value
STATUS_NO_RESULT = 120833       #: no value exists for these arguments
STATUS_INVALID_ARGUMENT = 120836  #: the function rejected an argument

#: Where a value lies against its curve's sensible range (:func:`limits`).
RANGE_HOLDS = 0                 #: the value holds
RANGE_BELOW_PREVIOUS_N = 1      #: below the value at n - 1
RANGE_BELOW_LARGER_LEVEL = 2    #: below the value at a 1% larger level
RANGE_NO_VALUE = 3              #: no value there

#: How a curve meets a threshold (:func:`reach`).
REACH_CROSSES = 0               #: rising where it holds: below at n - 1, at or above at n
REACH_FROM_START = 1            #: at or above from n, the first count of a stretch where it holds
REACH_NEVER = 2                 #: below wherever it holds

Scalar = Union[float, int, np.floating, np.integer]
Method = Optional[str]


class OutOfRangeWarning(RuntimeWarning):
    """Some values lie outside their curve's sensible range.

    A critical value must grow with n and fall as alpha grows; each curve
    does so over a stretch of n only (:func:`limits`), and a test with a
    value outside it does not hold its level. :func:`critical_value` warns
    once per call; ``count`` is the number of such elements, ``total`` the
    number of elements. Silence it with the :mod:`warnings` module, or skip
    the assessment with ``check=False``.
    """

    def __init__(self, message: str, count: int = 0, total: int = 0) -> None:
        super().__init__(message)
        self.count = count
        self.total = total


class DomainWarning(RuntimeWarning):
    """Some elements have no value: an argument lies outside the function's domain.

    As NumPy warns of an invalid value, :func:`critical_value` warns once
    per call where elements come out ``nan`` although neither argument was
    missing: the function rejected an argument (a level outside [0, 0.1])
    or has no value there (n = 1 with the asymptotic method, alpha = 0, a
    count below 1). The message counts them and gives the first one's
    reason, as the ``ljungcv`` command words it; ``count`` is the number of
    such elements, ``total`` the number of elements. ``check=False`` skips it
    with the assessment; :func:`evaluate` gives each element's status.
    """

    def __init__(self, message: str, count: int = 0, total: int = 0) -> None:
        super().__init__(message)
        self.count = count
        self.total = total


class Assessment(NamedTuple):
    """:func:`assess`'s result: arrays of the broadcast shape, or scalars."""
    value: Any         #: the value, nan where there is none
    status: Any        #: the host status (0, 120833, 120836)
    turned_down: Any   #: True where the value lies outside its curve's sensible range


class Stretch(NamedTuple):
    """One stretch of :func:`limits`: n from ``first_n`` to ``last_n``."""
    first_n: int
    last_n: int
    verdict: int       #: RANGE_HOLDS, RANGE_BELOW_PREVIOUS_N, RANGE_BELOW_LARGER_LEVEL or RANGE_NO_VALUE
    text: str          #: what the value does there, as ``ljungcv limits`` says it


class Reach(NamedTuple):
    """:func:`reach`'s answer, as ``ljungcv reach`` gives it."""
    reach: int                 #: REACH_CROSSES, REACH_FROM_START or REACH_NEVER
    n: Optional[int]           #: the count (REACH_NEVER: of the largest value where the curve holds)
    value: float               #: the value at n
    value_before: float        #: the value at n - 1 for REACH_CROSSES, else nan
    outside_n: Optional[int]   #: REACH_NEVER: where the value reaches the threshold out of range
    note: str                  #: what was found, in the command's words


@overload
def critical_value(n: Scalar, alpha: Scalar, method: Method = ..., *, check: bool = ...) -> float: ...
@overload
def critical_value(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = ..., *,
                   check: bool = ...) -> Union[float, npt.NDArray[np.float64]]: ...


def critical_value(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = "C", *,
                   check: bool = True) -> Any:
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
    check : bool
        Whether to assess the values (keyword only). With True, the default,
        one :class:`OutOfRangeWarning` counts the values that lie outside
        their curve's sensible range, and one :class:`DomainWarning` the
        elements without a value although neither argument was missing;
        False skips both and the assessment, which needs the neighbouring
        values too, and costs a bare evaluation.

    Returns
    -------
    float, numpy.ndarray, numpy.ma.MaskedArray, pandas.Series or pandas.DataFrame
        A Python float when ``n`` and ``alpha`` are both scalars, otherwise a
        float64 array of their broadcast shape (NumPy's rules): masked where
        an argument is masked, a Series or DataFrame (same index, name,
        columns) when an argument of that shape is one. Where no value
        exists or the function rejects an element's argument, the element
        is ``nan``; :func:`evaluate` tells which.

    Raises
    ------
    ValueError
        The method is not one of the names above (the module decides), the
        shapes of ``n`` and ``alpha`` do not broadcast, or both are pandas
        objects whose labels differ.
    TypeError
        ``n`` or ``alpha`` is not numeric (strings included), or ``method``
        is not a string.

    The two methods
    ---------------
    The corrected method starts at the normal quantiles for one observation,
    is exact for two, and equals Ljung's value at 100 and 200 observations.
    Ljung's method needs at least two observations; it falls for small n
    before it grows without bound.

    >>> critical_value(1, 0.05), critical_value(1, 0.05, "L", check=False)
    (1.9599639822884356, nan)
    >>> critical_value([6, 7, 8], 0.05, "ljung", check=False).tolist()   # lowest at n = 7
    [3.3851913888369185, 3.38370227414963, 3.3879410635935754]

    Where each curve stops growing with n: a critical value should grow with
    n and fall as the level grows, and each curve does so over a stretch of
    n only (:func:`limits` gives them). Ljung's curve falls from n = 2 to
    its lowest point (n = 5 at alpha 0.1, 7 at 0.05, 14 at 0.01, 40 at
    0.001) and grows from there on. The corrected curve holds from n = 1 up
    to n = 1,383,169 at alpha 0.1, 337,413 at 0.05, 75,599 at 0.01, 5,037
    at 0.005, 461 at 0.001 and 153 at 0.0001; beyond that it turns down in
    n (at 0.05 and 0.1 it keeps growing, but a slightly larger level then
    gives a larger value, which a critical value must not). Values there
    come with an :class:`OutOfRangeWarning`:

    >>> import warnings
    >>> with warnings.catch_warnings(record=True) as caught:
    ...     warnings.simplefilter("always")
    ...     critical_value([460, 461, 462], 0.001).tolist()
    [5.180240637337008, 5.180240817869808, 5.180240732334095]
    >>> caught[0].message.count
    1

    Counts are truncated; elements without a value are ``nan``, with one
    :class:`DomainWarning` that counts them and says why (an argument that
    was itself missing gives ``nan`` without a word):

    >>> critical_value(25.9, 0.05) == critical_value(25, 0.05)
    True
    >>> with warnings.catch_warnings(record=True) as caught:
    ...     warnings.simplefilter("always")
    ...     critical_value([10, 10, 10, 0, 10], [0.1, 0.2, 0.0, 0.05, float("nan")]).tolist()
    [2.8239385392335428, nan, nan, nan, nan]
    >>> print(caught[0].message)
    3 of 5 values are nan, outside the function's domain; the first: argument 2 (alpha = 0.2) rejected: alpha must be a level between 0 and 0.1
    """
    batch = _Batch(n, alpha, method)
    if not check:
        return batch.wrap(batch.values()[0])
    values, statuses, verdicts, rejected = batch.assessed(with_rejected=True)
    batch.warn_outside_domain(statuses, rejected, stacklevel=3)
    batch.warn_out_of_range(verdicts, stacklevel=3)
    return batch.wrap(values)


@overload
def evaluate(n: Scalar, alpha: Scalar, method: Method = ...) -> Tuple[float, int]: ...
@overload
def evaluate(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = ...
             ) -> Tuple[Union[float, npt.NDArray[np.float64]], Union[int, npt.NDArray[np.int32]]]: ...


def evaluate(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = "C") -> Tuple[Any, Any]:
    """LJUNGCV values with the host's status code of each element.

    Takes the arguments of :func:`critical_value` and returns ``(values,
    statuses)``: a float and an int for scalar arguments, otherwise a
    float64 and an int32 array of the broadcast shape (in the form of the
    arguments, as :func:`critical_value` gives it). The status is
    :data:`STATUS_OK` (0) with a value, :data:`STATUS_NO_RESULT` (120833)
    when no value exists, :data:`STATUS_INVALID_ARGUMENT` (120836) when the
    function rejected ``n`` or ``alpha``; the value is ``nan`` unless the
    status is 0. An unknown method raises ValueError instead. No value is
    assessed (see :func:`assess`).

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
    batch = _Batch(n, alpha, method)
    if batch.scalar and batch.mask is None:
        value, status, _ = batch.host.one(float(batch.n), float(batch.alpha), batch.text)
        return (value if status == STATUS_OK else float("nan")), int(status)
    values, statuses = batch.values()
    return batch.wrap(values), batch.wrap(statuses)


def assess(n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method = "C") -> Assessment:
    """Values, statuses and whether each value lies outside its curve's sensible range.

    Takes the arguments of :func:`critical_value` and returns an
    :class:`Assessment` ``(value, status, turned_down)``: scalars for scalar
    arguments, else arrays of the broadcast shape (float64, int32, bool) in
    the form of the arguments. ``turned_down`` is True where the value is
    below the value at n - 1 or below the value at a 1% larger level (the
    curve has turned down there, see :func:`limits`), as ``ljungcv eval``
    marks it; it is False where there is no value. Nothing is warned.

    >>> assess(462, 0.001)
    Assessment(value=5.180240732334095, status=0, turned_down=True)
    >>> assess([461, 462], 0.001).turned_down.tolist()
    [False, True]
    """
    batch = _Batch(n, alpha, method)
    values, statuses, verdicts = batch.assessed()
    return Assessment(batch.wrap(values), batch.wrap(statuses), batch.wrap(verdicts != RANGE_HOLDS))


def limits(method: Method = "C", alpha: float = 0.05) -> List[Stretch]:
    """The stretches of n from 1 to 2147483647 and what the method's value does there.

    As ``ljungcv limits --method METHOD --alpha ALPHA`` prints them: a list
    of :class:`Stretch` ``(first_n, last_n, verdict, text)`` that covers
    every n in order. ``method`` as for :func:`critical_value` (None: the
    corrected method); a level the function rejects raises ValueError.

    >>> for stretch in limits("C", 0.001):
    ...     print(stretch.first_n, stretch.last_n, stretch.text)
    1 461 holds
    462 2147483647 out of range: below the value at n - 1
    """
    text = _method_text(method)
    the_host = host()
    if text is not None and not _method_accepted(text):
        raise _unknown_method(method)
    level = _scalar(alpha, "alpha", "limits needs a level")
    status, stretches = the_host.limits(text, level)
    if status != STATUS_OK:
        raise ValueError(the_host.explain(1.0, level, text, status, 2, RANGE_HOLDS))
    return [Stretch(int(first), int(last), verdict, the_host.range_text(verdict))
            for first, last, verdict in stretches]


def reach(threshold: float, alpha: float = 0.05, method: Method = "C") -> Reach:
    """The count n at which the critical value first reaches ``threshold``.

    The inverse look-up, as ``ljungcv reach THRESHOLD --method METHOD
    --alpha ALPHA`` gives it: for a threshold that a test uses in place of
    the critical value (a fixed 3.5, say), the count at which the method's
    curve at level ``alpha``, rising where it holds (:func:`limits`), first
    reaches it. For fewer observations a test with the threshold is stricter
    than one at the level; from n on it is laxer. Every value is the
    module's. Returns a :class:`Reach`; where the curve is at or above the
    threshold from the start of a stretch where it holds, or below it
    wherever it holds, ``reach`` says so and ``note`` explains. A level or
    method the function rejects, or a NaN threshold, raises ValueError.

    >>> reach(3.5, 0.05)
    Reach(reach=0, n=31, value=3.5008704222294273, value_before=3.4907647166455473, outside_n=None, note='the corrected method (C) at alpha = 0.05 first reaches 3.5 at n = 31 (3.500870422; 3.490764717 at n - 1): a test with 3.5 is stricter than one at this level for fewer observations, and laxer from n = 31 on')
    >>> reach(6, 0.001).reach == REACH_NEVER
    True
    """
    text = _method_text(method)
    the_host = host()
    if text is not None and not _method_accepted(text):
        raise _unknown_method(method)
    level = _scalar(alpha, "alpha", "reach needs a level")
    value = _scalar(threshold, "threshold", "reach needs one threshold")
    if math.isnan(value):
        raise ValueError("threshold is nan: the look-up needs a number")
    status, kind, n, at_n, before, outside, note = the_host.reach(text, level, value)
    if status != STATUS_OK:
        raise ValueError(the_host.explain(1.0, level, text, status, 2, RANGE_HOLDS))

    def count(x: float) -> Optional[int]:
        return None if math.isnan(x) else int(x)

    def number(x: float) -> float:  # the host's missing value as a plain nan
        return math.nan if math.isnan(x) else x

    return Reach(kind, count(n), number(at_n), number(before), count(outside), note)


def module_info() -> Dict[str, Union[str, List[str]]]:
    """What the host learns when it loads the module.

    The module's image information and version record, as ``ljungcv info``
    shows them: a dict from each field's name to its text, in that order
    (``"module"``, the file loaded; ``"marker"``, ``"magic"``, ...). A name
    the module gives several times (``"descriptor"``, ``"function"``: one
    per registered function) maps to the list of its texts.

    >>> info = module_info()
    >>> info["marker"]
    'ZMT_Image_Information='
    """
    fields = host().info_fields()
    names = [name for name, _ in fields]
    info: Dict[str, Union[str, List[str]]] = {}
    for name, value in fields:
        if name in _REPEATING or names.count(name) > 1:
            entry = info.setdefault(name, [])
            assert isinstance(entry, list)
            entry.append(value)
        else:
            info[name] = value
    return info


_REPEATING = ("descriptor", "function")  # may occur once per registered function


class _Batch:
    """Arguments as the host takes them, and the way back to the callers' form."""

    def __init__(self, n: npt.ArrayLike, alpha: npt.ArrayLike, method: Method) -> None:
        n_array, n_mask, n_frame = _real_array(n, "n")
        alpha_array, alpha_mask, alpha_frame = _real_array(alpha, "alpha")
        self.text = _method_text(method)
        self.host = host()
        if self.text is not None and not _method_accepted(self.text):
            raise _unknown_method(method)
        self.scalar = n_array.ndim == 0 and alpha_array.ndim == 0
        n_array, alpha_array = _paired_by_label(n_array, n_frame, alpha_array, alpha_frame)
        n_array, alpha_array = np.broadcast_arrays(n_array, alpha_array)
        self.n = np.ascontiguousarray(n_array)
        self.alpha = np.ascontiguousarray(alpha_array)
        self.mask = None
        if n_mask is not None or alpha_mask is not None:
            self.mask = np.broadcast_to(np.logical_or(False if n_mask is None else n_mask,
                                                      False if alpha_mask is None else alpha_mask),
                                        self.n.shape)
        self.frame = _frame_like(n_frame, alpha_frame, self.n.shape)

    def values(self) -> Tuple[np.ndarray, np.ndarray]:
        values = np.empty(self.n.shape, dtype=np.float64)
        statuses = np.empty(self.n.shape, dtype=np.int32)
        if values.size:
            self.host.many(self.host.handle, values.size, _address(self.n), _address(self.alpha),
                           self.text, _address(values), _address(statuses))
        values[statuses != STATUS_OK] = np.nan
        return values, statuses

    def assessed(self, with_rejected: bool = False) -> Tuple[np.ndarray, ...]:
        """Values, statuses, verdicts, and with_rejected the argument each rejection names."""
        values = np.empty(self.n.shape, dtype=np.float64)
        statuses = np.empty(self.n.shape, dtype=np.int32)
        verdicts = np.empty(self.n.shape, dtype=np.int32)
        rejected = np.zeros(self.n.shape, dtype=np.int32)
        if values.size:
            self.host.assess_many(self.host.handle, values.size, _address(self.n), _address(self.alpha),
                                  self.text, _address(values), _address(statuses),
                                  _address(rejected) if with_rejected else None, _address(verdicts))
        values[statuses != STATUS_OK] = np.nan
        return (values, statuses, verdicts, rejected) if with_rejected else (values, statuses, verdicts)

    def warn_outside_domain(self, statuses: np.ndarray, rejected: np.ndarray, stacklevel: int) -> None:
        """One DomainWarning for the elements without a value whose arguments were there."""
        given = ~(np.isnan(self.n) | np.isnan(self.alpha))
        if self.mask is not None:
            given &= ~self.mask
        outside = (statuses != STATUS_OK) & given
        count = int(np.count_nonzero(outside))
        if not count:
            return
        first = int(np.flatnonzero(outside)[0])
        why = self.host.explain(float(self.n.flat[first]), float(self.alpha.flat[first]), self.text,
                                int(statuses.flat[first]), int(rejected.flat[first]), RANGE_HOLDS)
        total = statuses.size
        if total == 1:
            message = f"nan, outside the function's domain: {why}"
        else:
            message = (f"{count} of {total} values {'is' if count == 1 else 'are'} nan, outside the function's "
                       f"domain; the first: {why}")
        warnings.warn(DomainWarning(message, count, total), stacklevel=stacklevel)

    def warn_out_of_range(self, verdicts: np.ndarray, stacklevel: int) -> None:
        count = int(np.count_nonzero(verdicts))
        if not count:
            return
        first = int(np.flatnonzero(verdicts)[0])
        why = self.host.explain(float(self.n.flat[first]), float(self.alpha.flat[first]), self.text,
                                STATUS_OK, 0, int(verdicts.flat[first]))
        total = verdicts.size
        where = "(ljungcv.limits gives the stretches where each curve holds)"
        if total == 1:
            message = f"{why} {where}"
        else:
            message = (f"{count} of {total} values {'lies' if count == 1 else 'lie'} outside "
                       f"{'its' if count == 1 else 'their'} curve's sensible range {where}; the first: {why}")
        warnings.warn(OutOfRangeWarning(message, count, total), stacklevel=stacklevel)

    def wrap(self, array: np.ndarray) -> Any:
        """array in the callers' form: a scalar, a masked array, a Series or a DataFrame."""
        if self.frame is not None:
            pd = sys.modules["pandas"]
            if isinstance(self.frame, pd.Series):
                return pd.Series(array, index=self.frame.index, name=self.frame.name)
            return pd.DataFrame(array, index=self.frame.index, columns=self.frame.columns)
        if self.scalar:
            return np.ma.masked if self.mask is not None and self.mask.item() else array.item()
        if self.mask is not None:
            return np.ma.MaskedArray(array, mask=self.mask.copy())
        return array


def _address(array: np.ndarray) -> int:
    return array.__array_interface__["data"][0]


def _frame_like(n_frame: Any, alpha_frame: Any, shape: Tuple[int, ...]) -> Any:
    """The pandas argument whose form the results take: one of the result's shape."""
    frames = [frame for frame in (n_frame, alpha_frame) if frame is not None and frame.shape == shape]
    return frames[0] if frames else None


def _paired_by_label(n_array: np.ndarray, n_frame: Any, alpha_array: np.ndarray,
                     alpha_frame: Any) -> Tuple[np.ndarray, np.ndarray]:
    """n and alpha arranged so that broadcasting pairs pandas elements by label.

    Broadcasting pairs elements by position; where both arguments are pandas
    objects that is right only when their labels agree: two Series with one
    index, two DataFrames with one index and one set of columns. A Series
    with a DataFrame pairs along the axis the Series' index matches: the
    DataFrame's index (each row gets the Series' element of its label) or
    its columns. Anything else is a ValueError naming both sides' labels,
    never a silent pairing by position. A plain array or a scalar pairs by
    position, as NumPy does.
    """
    if n_frame is None or alpha_frame is None:
        return n_array, alpha_array
    if n_frame.ndim == alpha_frame.ndim:
        if n_frame.index.equals(alpha_frame.index) and (
                n_frame.ndim == 1 or n_frame.columns.equals(alpha_frame.columns)):
            return n_array, alpha_array
        raise ValueError("n and alpha are pandas objects with different indexes or columns "
                         f"({_labels_of('n', n_frame)}; {_labels_of('alpha', alpha_frame)}); align them first")
    series, frame = (n_frame, alpha_frame) if n_frame.ndim == 1 else (alpha_frame, n_frame)
    by_rows = series.index.equals(frame.index)
    by_columns = series.index.equals(frame.columns)
    if by_rows == by_columns:
        why = "both" if by_rows else "neither"
        raise ValueError("n and alpha are pandas objects whose labels do not say how to pair them: the Series' "
                         f"index matches {why} of the DataFrame's index and columns ({_labels_of('n', n_frame)}; "
                         f"{_labels_of('alpha', alpha_frame)}); align them first")
    if by_rows:
        # A column of the Series' elements, one per row of the DataFrame.
        if series is n_frame:
            return n_array.reshape(-1, 1), alpha_array
        return n_array, alpha_array.reshape(-1, 1)
    return n_array, alpha_array


def _labels_of(name: str, frame: Any, shown: int = 5) -> str:
    """'n: a Series indexed ['a', 'b']' or 'alpha: a DataFrame indexed [...], columns [...]'."""
    def labels(index: Any) -> str:
        items = [repr(label) for label in list(index[:shown])]
        return "[" + ", ".join(items) + (", ..." if len(index) > shown else "") + "]"
    if frame.ndim == 1:
        return f"{name}: a Series indexed {labels(frame.index)}"
    return f"{name}: a DataFrame indexed {labels(frame.index)}, columns {labels(frame.columns)}"


_KINDS = {"U": "an array of text", "S": "an array of bytes", "O": "an array of other objects",
          "c": "an array of complex numbers", "M": "an array of dates", "m": "an array of time spans"}


def _real_array(x: npt.ArrayLike, name: str) -> Tuple[np.ndarray, Optional[np.ndarray], Any]:
    """x as float64, the mask of a masked array, the pandas object x was.

    Missing elements (masked, pd.NA) become nan, which has no value; text
    never passes for a number (TypeError).
    """
    frame = None
    pd = sys.modules.get("pandas")  # pandas objects exist only once pandas is imported
    if pd is not None and isinstance(x, (pd.Series, pd.DataFrame)):
        frame = x
        dtypes = [x.dtype] if x.ndim == 1 else list(x.dtypes)
        numeric = all(pd.api.types.is_numeric_dtype(dtype) for dtype in dtypes)
        x = x.to_numpy(dtype=np.float64, na_value=np.nan) if numeric else x.to_numpy()
    mask = None
    if isinstance(x, np.ma.MaskedArray):
        mask = np.ma.getmaskarray(x)
        x = np.ma.getdata(x)
    array = np.asarray(x)
    if array.dtype.kind in "biuf":
        result = array.astype(np.float64, copy=False)
    elif array.dtype.kind == "O" and all(_is_real(element, pd) for element in array.flat):
        result = np.fromiter((_as_double(element, pd) for element in array.flat), np.float64,
                             array.size).reshape(array.shape)
    else:
        what = _KINDS.get(array.dtype.kind, str(array.dtype)) if array.ndim else type(x).__name__
        raise TypeError(f"{name} must be a real number or an array of real numbers, not {what}")
    if mask is not None and mask.any():
        result = np.where(mask, np.nan, result)
    return result, mask, frame


def _scalar(x: Any, name: str, needed: str) -> float:
    """One number, as limits and reach take their level and threshold; `needed` says why."""
    array, mask, _ = _real_array(x, name)
    if mask is not None and mask.any():
        raise ValueError(f"{name} is masked: {needed}")
    if array.size != 1:
        raise ValueError(f"{name} has {array.size} elements: {needed}")
    return float(array.reshape(()))


def _is_real(element: Any, pd: Any) -> bool:
    return isinstance(element, (numbers.Real, decimal.Decimal)) or (pd is not None and element is pd.NA)


def _as_double(element: Any, pd: Any) -> float:
    """The double nearest element; a number too large for one is an infinity, as 1e400 is."""
    if (pd is not None and element is pd.NA) or (isinstance(element, decimal.Decimal) and element.is_nan()):
        return math.nan  # float() refuses a signalling NaN
    try:
        return float(element)
    except OverflowError:  # an int or Fraction beyond the doubles
        return math.inf if element > 0 else -math.inf


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
    # The function's own reading of a method text, through the library.
    # A NUL would end the text in C: such a text is no method.
    return b"\0" not in text and host().method_known(text)


def _unknown_method(method: Method) -> ValueError:
    # The library says which names the function takes, as the command does.
    why = host().explain(10.0, 0.05, b"", 120836, 3, 0)
    return ValueError(f"unknown method {method!r}: {why.partition(': ')[2]}")
