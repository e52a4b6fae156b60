"""Tests of ljungcv.screen, the outlier procedure on many series in one batch.

The batch itself (every series alone, the same bits whatever the threads)
is the core's and tested in C++; these tests check what the binding adds:
each form of the table gives, series by series, the rows and the status of
ljungcv.outliers on that series, with 1 and 2 threads and in chunks under a
progress bar; a bad series fails alone; what every series shares is an
error; Ctrl-C stops the call; and the Dask route of docs/python.md gives
the local call's rows.
"""

import json
import math
import re
import subprocess
import sys
import types
import warnings
from pathlib import Path

import numpy as np
import pytest

import ljungcv

pd = pytest.importorskip("pandas")

ORDER, SEASONAL = (0, 1, 1), (0, 1, 1, 12)
N = 144
MONTHS = pd.period_range("2001-01", periods=N, freq="M")
DOCS = Path(__file__).resolve().parents[2] / "docs" / "python.md"
FLAGS = ("short_series", "heavy_tails", "reached_bound", "rounds_exhausted")


def airline(rng, n, innovations=None):
    """(1 - B)(1 - B^12) y = (1 - 0.4 B)(1 - 0.6 B^12) a, a standard normal unless given."""
    a = rng.standard_normal(n + 13) if innovations is None else innovations(n + 13)
    u = a.copy()
    u[1:] -= 0.4 * a[:-1]
    u[12:] -= 0.6 * a[:-12]
    u[13:] += 0.24 * a[:-13]
    y = np.zeros_like(u)
    for t in range(u.size):
        y[t] = u[t] + (y[t - 1] if t >= 1 else 0) + (y[t - 12] if t >= 12 else 0) - (y[t - 13] if t >= 13 else 0)
    return y[13:]


def make_series():
    """About 30 seeded series by id: planted outliers, holes, a short one, heavy tails, and in the
    middle three that fail (too short, every value missing, an infinite value)."""
    rng = np.random.default_rng(2024)
    series = {}
    for k in range(28):
        y = airline(rng, N)
        if k % 4 == 1:
            y[30 + k] += 6.0                      # an additive outlier
        if k % 4 == 2:
            y[90:] += 5.0                         # a level shift
        if k % 5 == 3:
            y[[7, 60, 61]] = np.nan               # holes
        series[f"s{k:02d}"] = y
        if k == 12:
            series["too short"] = airline(rng, 10)
            series["all missing"] = np.full(30, np.nan)
            infinite = airline(rng, N)
            infinite[40] = np.inf
            series["infinite"] = infinite
    series["short"] = airline(rng, 40)            # 27 residuals tested
    series["heavy"] = airline(rng, N, lambda size: rng.standard_t(2, size))
    return series


SERIES = make_series()


def wide_form():
    frame = pd.DataFrame(index=MONTHS)
    for key, y in SERIES.items():
        frame[key] = np.concatenate([y, np.full(N - y.size, np.nan)])  # shorter ones end in NaN
    return frame, {key: frame[key] for key in frame.columns}


def long_form():
    rows = [pd.DataFrame({"id": key, "time": MONTHS[:y.size], "value": y}) for key, y in SERIES.items()]
    frame = pd.concat(rows, ignore_index=True)
    return frame, {key: pd.Series(y, index=MONTHS[:y.size]) for key, y in SERIES.items()}


def dict_form():
    # Series for some ids (their index labels the times), plain arrays and lists (positions) for others.
    data = {key: (pd.Series(y, index=MONTHS[:y.size]) if i % 3 == 0 else y if i % 3 == 1 else list(y))
            for i, (key, y) in enumerate(SERIES.items())}
    return data, data


FORMS = {"wide": wide_form, "long": long_form, "dict": dict_form}


def hexed(x):
    return "nan" if math.isnan(x) else float(x).hex()


def one_by_one(each, **options):
    """The rows and status that ljungcv.outliers gives for each series alone."""
    rows, status = [], []
    for key, y in each.items():
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", ljungcv.OutlierWarning)
                found = ljungcv.outliers(y, ORDER, SEASONAL, **options)
        except ValueError as error:
            status.append((key, "invalid argument", str(error), len(y), None, None, "nan") + (None,) * 4)
            continue
        rows += [(key, o.index if o.label is None else o.label, o.type, hexed(o.effect), hexed(o.tstat))
                 for o in found.outliers]
        status.append((key, "ok", "", len(y), found.tested, len(found.outliers), hexed(found.critical_value))
                      + tuple(getattr(found, flag) for flag in FLAGS))
    return rows, status


def screened(result):
    """The two frames as the same tuples (bits of the numbers, None for what is missing)."""
    rows = [(s, t, kind, hexed(e), hexed(v)) for s, t, kind, e, v in
            result.outliers[["series", "time", "type", "effect", "t"]].itertuples(index=False)]
    columns = ["series", "status", "message", "n", "tested", "count", "critical_value", *FLAGS]
    status = [tuple(None if value is pd.NA else value for value in row)
              for row in result.status[columns].astype(object).itertuples(index=False)]
    status = [row[:6] + (hexed(row[6]),) + row[7:] for row in status]
    return rows, status


@pytest.fixture(scope="module", params=list(FORMS))
def form(request):
    data, each = FORMS[request.param]()
    return request.param, data, one_by_one(each)


# ---- Each series as ljungcv.outliers gives it.

@pytest.mark.parametrize("workers", [1, 2])
def test_every_form_gives_each_series_as_outliers_gives_it(form, workers):
    name, data, expected = form
    got = screened(ljungcv.screen(data, ORDER, SEASONAL, workers=workers))
    assert got == expected
    rows, status = expected
    # Not a vacuous agreement: outliers found, both flags that vary here set somewhere, three failures.
    assert len(rows) >= 10 and {row[2] for row in rows} >= {"AO", "LS"}
    assert any(row[7] for row in status) and any(row[8] for row in status)
    assert [row[0] for row in status if row[1] != "ok"] == ["too short", "all missing", "infinite"]


def test_a_level_without_a_value_fails_each_series_as_no_result():
    data = {"a": SERIES["s00"], "b": SERIES["too short"]}
    status = ljungcv.screen(data, ORDER, SEASONAL, alpha=0.0).status
    assert status.status.tolist() == ["no result", "invalid argument"]
    with pytest.raises(ValueError) as error:
        ljungcv.outliers(data["a"], ORDER, SEASONAL, alpha=0.0)
    assert status.message[0] == str(error.value) and status.critical_value.isna().all()


def test_the_procedures_options_reach_every_series():
    data = {key: SERIES[key] for key in ("s01", "s02", "heavy")}
    threshold = dict(types=("AO", "LS", "TC", "IO"), delta=0.5, critical_value=3.0, max_rounds=3)
    calibrated = dict(alpha=0.05, method="L", resamples=200, seed=7)
    for options in (threshold, calibrated):
        assert screened(ljungcv.screen(data, ORDER, SEASONAL, **options)) == one_by_one(data, **options)
    status = ljungcv.screen(data, ORDER, SEASONAL, **threshold).status
    assert (status.critical_value == 3.0).all()
    # The calibrated thresholds differ by series, and from LJUNGCV's at that level.
    values = ljungcv.screen(data, ORDER, SEASONAL, **calibrated).status.critical_value
    plain = ljungcv.screen(data, ORDER, SEASONAL, alpha=0.05, method="L").status.critical_value
    assert values.nunique() == len(data) and not (values == plain).any()


def test_an_empty_table_gives_empty_frames_and_still_checks_the_options():
    found = ljungcv.screen({}, ORDER, SEASONAL)
    assert found.outliers.shape == (0, 5) and found.status.shape == (0, 12)
    with pytest.raises(ValueError, match="alpha"):
        ljungcv.screen({}, ORDER, alpha=0.5)


# ---- What every series shares, and the table's form.

def long_frame(**changes):
    frame = pd.DataFrame({"id": ["a"] * 3 + ["b"] * 3, "time": [1, 2, 3, 1, 2, 3], "value": np.arange(6.0)})
    for column, values in changes.items():
        frame[column] = values
    return frame


ERRORS = [
    # the table
    (dict(data=[1.0, 2.0]), TypeError, "data must be a pandas DataFrame (wide or long) or a dict of series"),
    (dict(data=np.zeros((3, 3))), TypeError, "not ndarray"),
    (dict(data=long_frame(time=[1, 3, 2, 1, 2, 3])), ValueError, "series 'a' has time 2 at row 2 not after 3"),
    (dict(data=long_frame(time=[1, 2, 2, 1, 2, 3])), ValueError, "sort the frame first"),
    (dict(data=long_frame(id=["a", None, "a", "b", "b", "b"])), ValueError, "missing at row 1"),
    (dict(data=long_frame().drop(columns="value")), ValueError, "has a column 'id' but none named 'value'"),
    (dict(data=long_frame(), value_column="y"), ValueError, "has a column 'id' but none named 'y'"),
    (dict(data=pd.DataFrame([[1.0, 2.0]], columns=["a", "a"])), ValueError, "two columns named 'a'"),
    (dict(data=pd.DataFrame({"a": [1.0], "b": ["x"]})), TypeError, "data column 'b' must hold numbers"),
    (dict(data={"a": [1.0], "b": [1.0, "x"]}), TypeError, "data['b'] must hold numbers; at index 1 it holds text"),
    (dict(data={"a": np.zeros((2, 2))}), ValueError, "data['a'] must be one-dimensional"),
    (dict(data={"a": [1.0]}, time_column="date"), ValueError, "time_column='date' names a long frame's column"),
    # the model and the options, read by outliers' own readers (a few, to show they are)
    (dict(exog=np.zeros(10)), ValueError, "exog: screen runs every series without regressors"),
    (dict(order=(0, 1)), ValueError, "order must be 3 integers"),
    (dict(alpha=0.5), ValueError, "alpha must be a level between 0 and 0.1"),
    (dict(types=("SLS",)), ValueError, "needs a seasonal model"),
    # the threads
    (dict(workers=-1), ValueError, "workers: must be from 0 (one per core) to 256, got -1"),
    (dict(workers=1.5), TypeError, "workers must be an integer"),
]


@pytest.mark.parametrize("arguments, error, message", ERRORS)
def test_what_every_series_shares_is_an_error_naming_it(arguments, error, message):
    call = {"data": {"a": SERIES["s00"]}, "order": (0, 0, 0), **arguments}
    with pytest.raises(error) as raised:
        ljungcv.screen(call.pop("data"), call.pop("order"), **call)
    assert message in str(raised.value)


def test_a_long_frame_reads_its_own_column_names_and_positions_without_times():
    frame = long_frame().rename(columns={"id": "store", "value": "sales"}).drop(columns="time")
    frame = pd.concat([frame, pd.DataFrame({"store": "c", "sales": SERIES["s01"]})], ignore_index=True)
    found = ljungcv.screen(frame, ORDER, SEASONAL, id_column="store", value_column="sales")
    expected, _ = one_by_one({"c": SERIES["s01"]})
    assert found.status.series.tolist() == ["a", "b", "c"] and found.status.n.tolist() == [3, 3, N]
    assert screened(found)[0] == expected and expected


# ---- The progress bar.

def test_the_bar_moves_chunk_by_chunk(monkeypatch):
    updates = []

    class Bar:  # what tqdm's bar is told
        def __init__(self, total, unit):
            updates.append(("total", total))

        def update(self, count):
            updates.append(count)

        def close(self):
            updates.append("closed")

    monkeypatch.setitem(sys.modules, "tqdm", types.SimpleNamespace(tqdm=Bar))
    ljungcv.screen(SERIES, ORDER, SEASONAL, workers=1, progress=True)
    steps = updates[1:-1]
    assert updates[0] == ("total", len(SERIES)) and updates[-1] == "closed"
    assert len(steps) > 2 and sum(steps) == len(SERIES)


def test_a_bar_without_tqdm_is_an_error_before_any_work(monkeypatch):
    monkeypatch.setitem(sys.modules, "tqdm", None)  # as if not installed
    with pytest.raises(ImportError, match="python3-tqdm"):
        ljungcv.screen({"a": SERIES["s00"]}, ORDER, progress=True)
    assert ljungcv.screen({"a": SERIES["s00"]}, ORDER).status.status.tolist() == ["ok"]


def test_without_pandas_the_package_imports_and_screen_says_what_it_needs():
    code = ("import sys\n"
            "sys.modules['pandas'] = None\n"  # as if not installed
            "import ljungcv\n"
            "try:\n"
            "    ljungcv.screen({'a': [1.0] * 20}, (0, 0, 0))\n"
            "except ImportError as error:\n"
            "    print(error)\n")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert "python3-pandas" in out


# ---- Ctrl-C.

def test_ctrl_c_stops_every_thread_and_raises_keyboard_interrupt():
    # A SIGINT from a timer into batches of some 3 s each, with one thread and with two under a bar; in a
    # process of its own with Python's own Ctrl-C handler (see test_outliers.py's test of the same).
    code = """if True:
        import json, os, signal, sys, threading, time, warnings
        import numpy as np, pandas, ljungcv
        signal.signal(signal.SIGINT, signal.default_int_handler)
        rng = np.random.default_rng(1)
        data = {i: rng.standard_normal(400) for i in range(200)}
        report = []
        for workers, progress in ((1, False), (2, True)):
            sent = []
            threading.Timer(0.25, lambda: (sent.append(time.perf_counter()), os.kill(os.getpid(), signal.SIGINT))).start()
            try:
                ljungcv.screen(data, (1, 0, 0), critical_value=2.0, workers=workers, progress=progress)
                outcome = "finished"
            except KeyboardInterrupt:
                outcome = "interrupted"
            report.append([outcome, time.perf_counter() - sent[0] if sent else None])
        after = [int(n) for n in ljungcv.screen({"a": data[0][:100]}, (1, 0, 0)).status.tested]
        print(json.dumps([report, signal.getsignal(signal.SIGINT) is signal.default_int_handler, after]))
    """
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    report, restored, after = json.loads(run.stdout)
    assert [outcome for outcome, _ in report] == ["interrupted"] * 2 and restored and after == [100]
    assert all(latency < 1.0 for _, latency in report), report


# ---- The Dask route, as docs/python.md shows it.

def dask_example():
    section = DOCS.read_text(encoding="utf-8").split("### Many series on a Dask cluster", 1)[1]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


@pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")  # Debian's tornado and distributed
def test_the_dask_route_of_the_manual_gives_the_local_rows():
    pytest.importorskip("dask.dataframe")
    pytest.importorskip("distributed")
    long, _ = long_form()
    namespace = {"__name__": "ljungcv_manual_dask_example", "long": long}
    exec(compile(dask_example(), str(DOCS), "exec"), namespace)  # starts and stops its own local cluster
    local = ljungcv.screen(long, ORDER, SEASONAL)
    for name in ("outliers", "status"):
        by_id = [frame.sort_values("series", kind="stable").reset_index(drop=True)
                 for frame in (namespace[name], getattr(local, name))]
        pd.testing.assert_frame_equal(by_id[0], by_id[1], check_exact=True)
    assert len(namespace["status"]) == len(SERIES) and len(namespace["outliers"]) >= 10
