"""Outliers in many series at once: the core's procedure on each, in one batch call on a pool of threads.

:func:`screen` reads a table of series (a wide or a long pandas DataFrame,
or a dict of series), makes one call into the core
(cvhost_find_outliers_batch; one per chunk of series when a progress bar is
asked for, so that it can move) and returns two pandas DataFrames: the
outliers found and a status per series. Each series' rows are, bit for bit,
what :func:`ljungcv.outliers` gives for it alone; a series that fails fails
alone, with the core's message in its status row. The model and the options
are read by the code that reads them for :func:`ljungcv.outliers`; every
rule is the core's. pandas is imported here, when screen is called.
"""

from __future__ import annotations

import ctypes
import math
import os
import threading
from typing import Any, List, Mapping, NamedTuple, Optional, Sequence, Tuple, Union

import numpy as np

from ._arima import _copy
from ._host import STATUS_STOPPED, STOP_REQUESTED, OutlierOptions, host
from ._identify import index_period, label, model_order
from ._model import address, doubles, model, series
from ._outliers import _FLAGS, _TYPE_NAMES, _int, _options

__all__ = ["screen", "ScreenResults"]

_STATUS_OK = 0
_MESSAGE_SIZE = 512
_COLUMN_DEFAULTS = {"id_column": "id", "time_column": "time", "value_column": "value"}
# Series per call when a bar shows progress: as many as `ljungcv outliers --by` runs at once, fewer
# for a small batch so that the bar still moves; each call's last series leave a worker idle.
_LARGEST_CHUNK = 256
_STEPS = 20
_WAIT_STEP = 0.1  # seconds: how late Ctrl-C may be seen when the signal reaches another thread


class ScreenResults(NamedTuple):
    """What :func:`screen` found: two pandas DataFrames.

    ``outliers``: one row per outlier, series in the input's order and each
    series' outliers in time order, with the columns ``series`` (its id),
    ``time`` (the series' own label: the wide frame's index label, the long
    frame's time, a pandas Series' index label, else the 0-based position),
    ``type``, ``effect`` and ``t``. ``status``: one row per series, with
    ``series``, ``status`` ("ok", or the kind of failure: "invalid
    argument", "no result"), ``message`` (why it failed, else ""), ``n``
    (its values, missing ones included), ``model`` (the final model, as
    ``ARIMA(0,1,1)(0,1,1)[12]``: for order "auto" the one identified),
    ``tested``, ``count`` (outliers
    found), ``critical_value`` and the flags ``short_series``,
    ``heavy_tails``, ``reached_bound``, ``rounds_exhausted``; what a failed
    series has not got is missing (NA, NaN).
    """
    outliers: Any
    status: Any


class _Table(NamedTuple):
    """The series as the core reads them, with their ids and the labels of their times."""
    ids: Any                    #: a pandas Index, one id per series
    values: List[np.ndarray]    #: each series, contiguous float64, NaN where missing
    labels: List[Any]           #: each series' time labels (a pandas Index), or None for positions
    no_time: Any                #: an empty Index of the times' kind, for a batch without outliers


def screen(data: Any, order: Union[Sequence[int], str, None] = None, seasonal_order: Optional[Sequence[int]] = None,
           *, exog: Any = None, trend: Optional[str] = None, period: Optional[int] = None,
           search: Optional[Mapping[str, int]] = None, alpha: Optional[float] = None,
           method: Optional[str] = None, types: Optional[Sequence[str]] = None, delta: Optional[float] = None,
           critical_value: Optional[float] = None, max_rounds: Optional[int] = None,
           resamples: Optional[int] = None, seed: Optional[int] = None, workers: Optional[int] = None,
           progress: bool = False, id_column: str = "id", time_column: str = "time",
           value_column: str = "value") -> ScreenResults:
    """Find the outliers of many series under one model, on a pool of threads.

    Each series goes through the procedure of :func:`ljungcv.outliers`
    alone, and its rows are, bit for bit, what that function gives for it,
    whatever the number of threads. A series the procedure refuses (too
    short for the model, every value missing, an infinite value) or has no
    critical value for fails alone: its status row says why, and the
    others run.

    Parameters
    ----------
    data : pandas DataFrame or dict
        A wide DataFrame, one series per column (the column's name its id,
        the index its times); a long DataFrame, one value per row, with an
        id column, a value column and, optionally, a time column (see
        ``id_column``; a frame with both an id and a value column is long;
        other columns are not read); or a dict of one-dimensional arrays,
        lists or pandas Series, its keys the ids. Missing values (NaN,
        None, pd.NA) are skipped as :func:`ljungcv.outliers` skips them; a
        wide frame's column is the series with its leading and trailing
        missing values.
    order, seasonal_order, trend, period, search, alpha, method, types, delta, critical_value, max_rounds, \
resamples, seed
        The model and the procedure's options, as :func:`ljungcv.outliers`
        takes them, for every series alike; with order "auto" (the default
        unless ``seasonal_order`` is given) each series' model is identified
        alone. Its period is ``period``, else the one the series' time
        labels state (a wide frame's index, each series' own), which must
        then be one period for all those that state one.
    exog
        Not taken: a batch has no regressors. Run :func:`ljungcv.outliers`
        per series for them.
    workers : int, default one per core
        The threads the series run on, 1 to 256 (0: one per core).
    progress : bool, default False
        Show a progress bar (tqdm, Debian's python3-tqdm); the series then
        run a chunk at a time, with the same results.
    id_column, time_column, value_column : str
        A long frame's columns: each id's rows, in the frame's order, are
        one series; its times must increase. Without a time column the
        times are the 0-based positions.

    Returns
    -------
    ScreenResults
        The named tuple ``(outliers, status)`` of two DataFrames.

    Raises
    ------
    ValueError, TypeError
        For what every series shares (the model, the options, workers, the
        table's form), with the argument and the rule; TypeError for a value
        that is not a number, naming its series.
    ImportError
        Without pandas, or with ``progress=True`` without tqdm.
    KeyboardInterrupt
        Ctrl-C during the call: every thread stops at its next fit.
    """
    try:
        import pandas as pd
    except ImportError as error:
        raise ImportError("ljungcv.screen returns pandas DataFrames and reads them; pandas is not installed: "
                          "install Debian's python3-pandas (apt-get install python3-pandas)") from error
    if exog is not None:
        raise ValueError("exog: screen runs every series without regressors (a batch takes none); "
                         "for regressors call ljungcv.outliers on each series")
    threads = _workers(workers)
    bar_class = _progress_bar() if progress else None
    table = _read(data, pd, id_column, time_column, value_column)
    # The model as outliers reads it, with no series of its own: the batch hands each one in.
    request = model(np.empty(0), order, seasonal_order, None, trend, period, search,
                    lambda: _table_period(table))
    options = _options(request, types, delta, alpha, method, critical_value, max_rounds, resamples, seed)

    count = len(table.values)
    lengths = np.array([v.size for v in table.values], dtype=np.uintp)
    pointers = np.array([address(v) or 0 for v in table.values], dtype=np.uintp)
    chunk = count if bar_class is None else _chunk_size(count, threads)
    found: List[Tuple] = []
    bar = None if bar_class is None else bar_class(total=count, unit="series")
    stop = _StopFlag()
    options.stop_requested, options.stop_context = stop.hook, stop.context
    if request.identify is not None:
        request.identify.stop_requested, request.identify.stop_context = stop.hook, stop.context
    try:
        for start in range(0, count, max(chunk, 1)):
            end = min(start + chunk, count)
            found.extend(_interruptible(stop, lambda: _batch(options, pointers[start:end], lengths[start:end],
                                                             threads)))
            if bar is not None:
                bar.update(end - start)
        if count == 0:  # what every series would share is still checked
            _batch(options, pointers, lengths, threads)
    finally:
        stop.close()
        if bar is not None:
            bar.close()
    return _results(pd, table, lengths, found)


def _table_period(table: _Table) -> int:
    """The period the series' time labels state, one for them all; series whose times state none
    (positions, too few or irregular times) have no say. 1 when none states one."""
    distinct = {id(labels): labels for labels in table.labels}.values()  # a wide frame's one index, once
    periods = {index_period(labels) for labels in distinct} - {1}
    if len(periods) > 1:
        raise ValueError(f"period: the series' times state different periods ({', '.join(map(str, sorted(periods)))});"
                         " one batch takes one: give period=")
    return periods.pop() if periods else 1


def _workers(workers: Any) -> int:
    if workers is None:
        return 0  # the core's: one per core
    threads = _int(workers, "workers")
    if threads < 0:  # the core's own check sees an unsigned count
        raise ValueError(f"workers: must be from 0 (one per core) to 256, got {threads}")
    return threads


def _progress_bar() -> Any:
    try:
        from tqdm import tqdm
    except ImportError as error:
        raise ImportError("progress=True shows a bar with tqdm, which is not installed: install Debian's "
                          "python3-tqdm (apt-get install python3-tqdm), or leave progress False") from error
    return tqdm


def _chunk_size(count: int, threads: int) -> int:
    """Series per call so that the bar moves about _STEPS times, every thread still busy in each call."""
    busy = 2 * (threads or os.cpu_count() or 1)
    return max(min(_LARGEST_CHUNK, math.ceil(count / _STEPS)), busy)


class _StopFlag:
    """A stop hook that the core's threads answer without Python: libcvhost's own flag.

    :func:`ljungcv.outliers` answers its hook in Python, on the thread that
    called it. A batch asks from every worker before every evaluation of a
    likelihood (some 70 times for a series of 144 values), and a hook in
    Python would make each worker take the GIL that often: two workers then
    ran no faster than one. ``cvhost_stop_flag`` reads an int32 this object
    holds; setting it (an aligned 32-bit store) stops every worker.
    """

    def __init__(self) -> None:
        self._flag = ctypes.c_int32(0)
        self.context = ctypes.addressof(self._flag)
        self.hook = STOP_REQUESTED(ctypes.cast(host().lib.cvhost_stop_flag, ctypes.c_void_p).value)

    def set(self) -> None:
        self._flag.value = 1

    def close(self) -> None:
        pass  # the flag is this object's


def _interruptible(stop: _StopFlag, call: Any) -> Any:
    """call() on a thread of its own while this one waits, so that Ctrl-C stops it.

    Python handles a signal on the main thread, between its own
    instructions; a foreign call that runs there keeps it out until the call
    returns. So the main thread waits for the call, in steps short enough
    that a signal another thread caught is handled soon, and on
    KeyboardInterrupt sets the flag the core's threads ask, waits for them
    to stop (the arrays and the flag must outlive them) and raises it. A
    handler of the caller's own runs at once and the call goes on. Off the
    main thread no signal comes: the call runs where it is.
    """
    if threading.current_thread() is not threading.main_thread():
        return call()
    outcome: List[Any] = []
    finished = threading.Event()

    def run() -> None:
        try:
            outcome.append((True, call()))
        except BaseException as error:  # handed to the waiting thread, raised there
            outcome.append((False, error))
        finally:
            finished.set()

    threading.Thread(target=run, name="ljungcv.screen", daemon=True).start()
    try:
        while not finished.wait(_WAIT_STEP):
            pass
    except KeyboardInterrupt:
        stop.set()
        while True:  # a second Ctrl-C must not leave the threads running on freed arrays
            try:
                finished.wait()
                break
            except KeyboardInterrupt:
                continue
        raise
    succeeded, value = outcome[0]
    if not succeeded:
        raise value
    return value


def _batch(options: OutlierOptions, pointers: np.ndarray, lengths: np.ndarray, threads: int) -> List[Tuple]:
    """One call of the batch; per series (status, message, outliers' columns, tested, critical value, flags)."""
    lib = host().lib
    result = ctypes.c_void_p()
    message = ctypes.create_string_buffer(_MESSAGE_SIZE)
    status = lib.cvhost_find_outliers_batch(host().handle, ctypes.byref(options), len(pointers),
                                            address(pointers), address(lengths), threads, ctypes.byref(result),
                                            message, _MESSAGE_SIZE)
    try:
        if status == STATUS_STOPPED:
            raise KeyboardInterrupt
        if status != _STATUS_OK:
            raise ValueError(message.value.decode(errors="replace"))
        return [_one(lib, result, i) for i in range(lib.cvhost_batch_count(result))]
    finally:
        lib.cvhost_batch_free(result)


def _one(lib: Any, batch: Any, i: int) -> Tuple:
    status = lib.cvhost_batch_status(batch, i)
    if status != _STATUS_OK:
        return (status, lib.cvhost_batch_message(batch, i).decode(errors="replace"), None)
    found = lib.cvhost_batch_outliers(batch, i)
    count = lib.cvhost_outliers_count(found)
    columns = (_copy(lib.cvhost_outliers_index(found), count).astype(np.int64),
               _copy(lib.cvhost_outliers_type(found), count),
               _copy(lib.cvhost_outliers_effect(found), count),
               _copy(lib.cvhost_outliers_tstat(found), count))
    return (status, "", columns, lib.cvhost_outliers_tested(found), lib.cvhost_outliers_critical_value(found),
            lib.cvhost_outliers_flags(found), label(*model_order(lib.cvhost_outliers_fit(found))))


# ---- The table in: three forms, one list of series.

def _read(data: Any, pd: Any, id_column: Any, time_column: Any, value_column: Any) -> _Table:
    names = {"id_column": id_column, "time_column": time_column, "value_column": value_column}
    if isinstance(data, pd.DataFrame):
        if id_column in data.columns and value_column in data.columns:
            return _long(data, pd, id_column, time_column, value_column)
        for given, other in ((id_column, value_column), (value_column, id_column)):
            if given in data.columns:
                raise ValueError(f"data has a column {given!r} but none named {other!r}: a long frame needs "
                                 "both (name them with id_column and value_column); a wide frame has neither")
        _columns_unused(names, "a wide frame (one series per column)")
        return _wide(data, pd)
    if isinstance(data, dict):
        _columns_unused(names, "a dict of series")
        return _dict(data, pd)
    raise TypeError(f"data must be a pandas DataFrame (wide or long) or a dict of series, not "
                    f"{type(data).__name__}")


def _columns_unused(names: dict, form: str) -> None:
    """A column name given for a table that has no such columns is a mistake, not a default to ignore."""
    for name, value in names.items():
        if value != _COLUMN_DEFAULTS[name]:
            raise ValueError(f"{name}={value!r} names a long frame's column; data is {form}, which has none")


def _wide(frame: Any, pd: Any) -> _Table:
    if not frame.columns.is_unique:
        twice = frame.columns[frame.columns.duplicated()][0]
        raise ValueError(f"data has two columns named {twice!r}: a wide frame's columns are the series' ids")
    if all(_plain_numbers(frame[c].dtype, pd) for c in frame.columns.unique()):
        # One conversion for the whole block, a column contiguous in memory per series.
        block = np.asfortranarray(frame.to_numpy(dtype=np.float64, na_value=np.nan))
        values = [block[:, j] for j in range(block.shape[1])]
    else:  # read column by column, for the error that names the column
        values = [np.ascontiguousarray(doubles(frame.iloc[:, j], f"data column {c!r}"))
                  for j, c in enumerate(frame.columns)]
    return _Table(frame.columns.to_flat_index(), values, [frame.index] * len(values), frame.index[:0])


def _plain_numbers(dtype: Any, pd: Any) -> bool:
    types = pd.api.types
    return types.is_numeric_dtype(dtype) and not (types.is_bool_dtype(dtype) or types.is_complex_dtype(dtype))


def _long(frame: Any, pd: Any, id_column: Any, time_column: Any, value_column: Any) -> _Table:
    ids = frame[id_column]
    if ids.isna().any():
        row = frame.index[ids.isna().to_numpy()][0]
        raise ValueError(f"data's id column {id_column!r} is missing at row {row!r}: every row needs its series' id")
    codes, uniques = pd.factorize(ids, sort=False)  # ids in the order they first come
    order = np.argsort(codes, kind="stable")        # each id's rows together, in the frame's order
    starts = np.concatenate(([0], np.cumsum(np.bincount(codes, minlength=len(uniques)))))
    values = doubles(frame[value_column], f"data column {value_column!r}")[order]
    runs = [values[starts[k]:starts[k + 1]] for k in range(len(uniques))]
    if time_column in frame.columns:
        times = pd.Index(frame[time_column]).take(order)
        _check_times(frame, times, codes[order], order, uniques, time_column, id_column)
        labels = [times[starts[k]:starts[k + 1]] for k in range(len(uniques))]
        no_time = times[:0]
    else:
        labels, no_time = [None] * len(uniques), pd.Index([], dtype=np.int64)
    return _Table(pd.Index(uniques, tupleize_cols=False), runs, labels, no_time)


def _check_times(frame: Any, times: Any, codes: np.ndarray, order: np.ndarray, uniques: Any, time_column: Any,
                 id_column: Any) -> None:
    """Each series' times must increase: the frame's row order is not trusted to be the series' order."""
    if len(times) < 2:
        return
    same = codes[1:] == codes[:-1]
    try:
        later = np.asarray(times[1:] > times[:-1], dtype=bool)
    except TypeError as error:
        raise ValueError(f"data's time column {time_column!r} holds times that cannot be ordered: {error}") from error
    wrong = np.flatnonzero(same & ~later)
    if wrong.size:
        k = wrong[0] + 1
        raise ValueError(f"data: series {uniques[codes[k]]!r} has time {times[k]!r} at row {frame.index[order[k]]!r} "
                         f"not after {times[k - 1]!r}, the one before it: each series' times must increase; sort "
                         f"the frame first (data.sort_values([{id_column!r}, {time_column!r}]))")


def _dict(data: dict, pd: Any) -> _Table:
    values, labels = [], []
    for key, y in data.items():
        array, index, _ = series(y, f"data[{key!r}]")
        values.append(array)
        labels.append(index)
    return _Table(pd.Index(list(data), tupleize_cols=False), values, labels,
                  pd.Index([], dtype=np.int64))


# ---- The two tables out.

def _results(pd: Any, table: _Table, lengths: np.ndarray, found: List[Tuple]) -> ScreenResults:
    ok = [outcome[0] == _STATUS_OK for outcome in found]
    counts = np.array([outcome[2][0].size if good else 0 for outcome, good in zip(found, ok)], dtype=np.int64)
    parts = [(i, outcome[2]) for i, outcome in enumerate(found) if ok[i] and outcome[2][0].size]
    if parts:
        index = np.concatenate([columns[0] for _, columns in parts])
        codes = np.concatenate([columns[1] for _, columns in parts])
        pieces = [pd.Index(columns[0]) if table.labels[i] is None else table.labels[i].take(columns[0])
                  for i, columns in parts]
        time = pieces[0].append(pieces[1:]) if len(pieces) > 1 else pieces[0]
        effect = np.concatenate([columns[2] for _, columns in parts])
        tstat = np.concatenate([columns[3] for _, columns in parts])
    else:
        index, codes, time = np.empty(0, dtype=np.int64), np.empty(0, dtype=np.int32), table.no_time
        effect = tstat = np.empty(0)
    outliers = pd.DataFrame({"series": table.ids.repeat(counts), "time": time,
                             "type": [_TYPE_NAMES[int(c)] for c in codes], "effect": effect, "t": tstat},
                            index=pd.RangeIndex(index.size))

    lib = host().lib
    columns = {
        "series": table.ids,
        "status": [lib.cvhost_status_text(outcome[0]).decode() for outcome in found],
        "message": [outcome[1] for outcome in found],
        "n": lengths.astype(np.int64),
        "model": [o[6] if good else None for o, good in zip(found, ok)],
        "tested": pd.array([o[3] if good else None for o, good in zip(found, ok)], dtype="Int64"),
        "count": pd.array([int(c) if good else None for c, good in zip(counts, ok)], dtype="Int64"),
        "critical_value": np.array([o[4] if good else math.nan for o, good in zip(found, ok)], dtype=np.float64),
    }
    for flag, bit in _FLAGS.items():
        columns[flag] = pd.array([bool(o[5] & bit) if good else None for o, good in zip(found, ok)],
                                 dtype="boolean")
    return ScreenResults(outliers, pd.DataFrame(columns, index=pd.RangeIndex(len(found))))
