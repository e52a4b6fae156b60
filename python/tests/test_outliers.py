"""Tests of ljungcv.outliers and ljungcv.outlier_statistics.

The procedure and the statistics are the core's, tested in C++; these tests
check what the binding adds: Python gives the bits of two fixtures that C and
R check too (r/ljungcv/tests/testthat/outlier-fixture.txt for the statistics
and the locate stage, procedure-fixture.txt for the whole procedure), the
model arguments mean what they mean to ljungcv.arima, input is read one way
whatever its form, the result's flags become warnings, the results read
well, and Ctrl-C stops the call.

    /usr/bin/python3 python/tests/test_outliers.py   rewrites both fixtures
"""

import ctypes
import datetime
import fractions
import json
import math
import subprocess
import sys
import warnings
from pathlib import Path

import numpy as np
import pytest

import ljungcv
from ljungcv._host import host

TESTTHAT = Path(__file__).resolve().parents[2] / "r" / "ljungcv" / "tests" / "testthat"
FIXTURE = TESTTHAT / "outlier-fixture.txt"
PROCEDURE_FIXTURE = TESTTHAT / "procedure-fixture.txt"
# (type, delta, sigma) cases of the fixture; sigma None is the default scale.
CASES = [("AO", 0.7, None), ("LS", 0.7, None), ("TC", 0.7, None), ("IO", 0.7, None), ("TC", 0.4, None),
         ("AO", 0.7, 1.3)]
LOCATE_CASES = [(3.0, 0.05, "C"), (math.nan, 0.05, "C"), (math.nan, 0.01, "L")]
TYPE_SET = ljungcv.OUTLIER_TYPES["AO"] | ljungcv.OUTLIER_TYPES["LS"] | ljungcv.OUTLIER_TYPES["TC"]
# The tests of warnings record their own.
pytestmark = pytest.mark.filterwarnings("ignore::ljungcv.OutlierWarning")


def fixture_inputs():
    rng = np.random.default_rng(25)
    residuals = rng.standard_normal(40)
    residuals[17] += 5.0
    residuals[30:] += 2.5
    return residuals, np.array([0.5, -0.2, 0.1])


def locate(residuals, pi, critical_value, alpha, method):
    """The core's locate stage (cvhost_locate_outliers): [(index, type, effect, tstat)] in the order found, and
    the critical value used."""
    the_host = host()
    capacity = residuals.size  # a time is taken once
    index, kind = np.empty(capacity, dtype=np.uintp), np.empty(capacity, dtype=np.int32)
    effect, tstat = np.empty(capacity), np.empty(capacity)
    count, used = ctypes.c_size_t(), ctypes.c_double()
    status = the_host.lib.cvhost_locate_outliers(
        the_host.handle, residuals.size, residuals.ctypes.data, pi.size, pi.ctypes.data, TYPE_SET, 0.7, alpha,
        method.encode(), critical_value, capacity, index.ctypes.data, kind.ctypes.data, effect.ctypes.data,
        tstat.ctypes.data, ctypes.byref(count), ctypes.byref(used), None, 0)
    assert status == 0
    found = [(int(index[i]), int(kind[i]), float(effect[i]), float(tstat[i])) for i in range(count.value)]
    return found, used.value


def fixture_lines():
    residuals, pi = fixture_inputs()
    lines = ["residuals " + " ".join(x.hex() for x in residuals), "pi " + " ".join(x.hex() for x in pi)]
    for kind, delta, sigma in CASES:
        effects, tstats = ljungcv.outlier_statistics(residuals, pi, kind, delta, sigma)
        label = f"{kind} {delta.hex()} {'default' if sigma is None else sigma.hex()}"
        lines.append(f"effects {label} " + " ".join(hexed(x) for x in effects))
        lines.append(f"tstats {label} " + " ".join(hexed(x) for x in tstats))
    for critical_value, alpha, method in LOCATE_CASES:
        found, used = locate(residuals, pi, critical_value, alpha, method)
        lines.append(f"locate {hexed(critical_value)} {alpha.hex()} {method} {used.hex()} "
                     + " ".join(f"{t}:{c}:{e.hex()}:{s.hex()}" for t, c, e, s in found))
    return lines


def hexed(x):
    return "NaN" if math.isnan(x) else float(x).hex()


def test_python_gives_the_bits_of_the_shared_fixture():
    # R's tests read the same file, so both languages give these bits.
    expected = FIXTURE.read_text(encoding="utf-8").splitlines()
    expected = [line for line in expected if not line.startswith("#")]
    assert fixture_lines() == expected


def test_bad_input_to_the_statistics_is_a_value_error():
    residuals, pi = fixture_inputs()
    with pytest.raises(ValueError, match="unknown outlier type 'XO'"):
        ljungcv.outlier_statistics(residuals, pi, "XO")
    with pytest.raises(ValueError, match="needs the model's period"):
        ljungcv.outlier_statistics(residuals, pi, "sls")
    for bad in (np.nan, np.inf):
        with pytest.raises(ValueError):
            ljungcv.outlier_statistics(np.r_[residuals[:5], bad], pi, "AO")
        with pytest.raises(ValueError):
            ljungcv.outlier_statistics(residuals, [0.5, bad], "AO")
    for delta in (0.0, 1.0, -0.5, np.nan):
        with pytest.raises(ValueError):
            ljungcv.outlier_statistics(residuals, pi, "TC", delta)
    for sigma in (0.0, -1.0, np.inf, np.nan):
        with pytest.raises(ValueError):
            ljungcv.outlier_statistics(residuals, pi, "AO", sigma=sigma)
    with pytest.raises(ValueError):
        ljungcv.outlier_statistics([], pi, "AO")


# ---- The whole procedure: the shared fixture, written through the C call and rewritten here.

def simulate(seed, n, ar=(), ma=(), d=0, D=0, s=1, burn=300):
    """An ARMA series with unit innovations after a burn-in, integrated D times at lag s, then d times."""
    rng = np.random.default_rng(seed)
    a = rng.standard_normal(n + burn)
    u = np.zeros(n + burn)
    for t in range(n + burn):
        u[t] = a[t] + sum(m * a[t - 1 - j] for j, m in enumerate(ma) if t > j)
        u[t] += sum(f * u[t - 1 - j] for j, f in enumerate(ar) if t > j)
    y = u[burn:]
    for _ in range(D):
        y = y.copy()
        for t in range(s, y.size):
            y[t] += y[t - s]
    for _ in range(d):
        y = np.cumsum(y)
    return y


def procedure_cases():
    """(name, y, (p, d, q, P, D, Q, period), xreg, type bits, delta, alpha, method, critical_value), and
    (resamples, seed) last where the critical value is calibrated."""
    cases = []
    y = simulate(1, 120, ar=(0.6,))
    y[30] += 6
    y[80:] += 5
    cases.append(("ar1_ao_ls", y, (1, 0, 0, 0, 0, 0, 1), None, 14, 0.7, 0.05, None, None))
    y = simulate(2, 100, ma=(-0.5,), d=1)
    y[50:] += 7 * 0.7 ** np.arange(50)
    cases.append(("ima_tc_all_types", y, (0, 1, 1, 0, 0, 0, 1), None, 15, 0.7, 0.05, "L", None))
    # The airline model's seasonal MA is left out of the simulation: the fixture needs bits, not a model.
    y = simulate(3, 144, ma=(-0.4,), d=1, D=1, s=12)
    y[90:] -= 6
    cases.append(("airline_ls", y, (0, 1, 1, 0, 1, 1, 12), None, 14, 0.7, 0.05, None, None))
    y = simulate(4, 100, ar=(0.5,))
    y[40] -= 7
    y[[5, 41, 77]] = math.nan
    step = np.zeros(100)
    step[60:] = 1.0
    y[60:] += 3
    cases.append(("ar1_gaps_xreg", y, (1, 0, 0, 0, 0, 0, 1), step, 6, 0.7, 0.01, "C", None))
    y = simulate(5, 20)
    y[12] += 5
    cases.append(("noise_own_threshold", y, (0, 0, 0, 0, 0, 0, 1), None, 14, 0.4, 0.05, None, 3.0))
    y = simulate(6, 96, ma=(-0.4,), d=1, D=1, s=12)
    y[40::12] += 7  # one month's level moves
    cases.append(("airline_sls", y, (0, 1, 1, 0, 1, 1, 12), None, 30, 0.7, 0.05, None, None))
    y = simulate(7, 120, ar=(0.5,)) + np.random.default_rng(7).standard_t(3, 120)
    y[60] += 12
    cases.append(("ar1_t3_calibrated", y, (1, 0, 0, 0, 0, 0, 1), None, 14, 0.7, 0.05, None, None, (200, 11)))
    return cases


def procedure_lines():
    """Each case's model, options and series, and what ljungcv.outliers found, one line per field."""
    lines = []
    for name, y, model, xreg, types, delta, alpha, method, critical_value, *resampling in procedure_cases():
        p, d, q, P, D, Q, s = model
        resamples, seed = resampling[0] if resampling else (None, None)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", ljungcv.OutlierWarning)  # when run to rewrite the file
            found = ljungcv.outliers(y, (p, d, q), (P, D, Q, s), exog=xreg, alpha=alpha, method=method,
                                     types=[t for t, bit in ljungcv.OUTLIER_TYPES.items() if types & bit],
                                     delta=delta, critical_value=critical_value, resamples=resamples, seed=seed)
        assert found.calibrated == bool(resampling)
        lines.append(f"case {name} {' '.join(map(str, model))} {types} {hexed(delta)} {hexed(alpha)} "
                     f"{method or '-'} {'-' if critical_value is None else hexed(critical_value)}")
        if resampling:
            lines.append(f"resampling {resamples} {seed}")
        lines.append("y " + " ".join(hexed(v) for v in y))
        if xreg is not None:
            lines.append("xreg " + " ".join(hexed(v) for v in xreg))
        lines.append("outliers " + " ".join(f"{o.index}:{ljungcv.OUTLIER_TYPES[o.type]}:{hexed(o.effect)}:"
                                            f"{hexed(o.tstat)}" for o in found.outliers))
        lines.append(f"critical_value {hexed(found.critical_value)}")
        lines.append(f"tested {found.tested}")
        lines.append("adjusted " + " ".join(hexed(v) for v in found.adjusted))
    return lines


PROCEDURE_HEADER = (
    "# The outlier procedure's results through the C call, as hex doubles: the command's, Python's and\n"
    "# R's tests check these bits. Each case: its model and options, the series, what was found.\n"
    "# case NAME p d q P D Q period types delta alpha method critical_value (- for none)\n"
    "# resampling RESAMPLES SEED (a calibrated critical value, where given);\n"
    "# y VALUES; xreg VALUES (one regressor, 'step'); outliers INDEX:TYPE:EFFECT:TSTAT ...;\n"
    "# critical_value, tested, adjusted\n")


def test_python_gives_the_bits_of_the_procedure_fixture():
    # Written through the C call; the command's and R's tests check the same file.
    expected = [line for line in PROCEDURE_FIXTURE.read_text(encoding="utf-8").splitlines()
                if not line.startswith("#")]
    assert procedure_lines() == expected


def ar1(n, seed, phi=0.5):
    rng = np.random.default_rng(seed)
    e = rng.standard_normal(n + 100)
    y = np.empty_like(e)
    y[0] = e[0]
    for t in range(1, y.size):
        y[t] = phi * y[t - 1] + e[t]
    return y[100:]


def same_result(a, b):
    """Two results agree bit for bit: outliers, threshold, count tested and adjusted series."""
    assert [(o.index, o.type, hexed(o.effect), hexed(o.tstat)) for o in a.outliers] == \
        [(o.index, o.type, hexed(o.effect), hexed(o.tstat)) for o in b.outliers]
    assert (a.critical_value, a.tested, a.rounds) == (b.critical_value, b.tested, b.rounds)
    assert [hexed(v) for v in np.asarray(a.adjusted, dtype=float)] == \
        [hexed(v) for v in np.asarray(b.adjusted, dtype=float)]


@pytest.mark.parametrize("order, seasonal_order, with_exog, trend", [
    ((1, 0, 0), None, False, None),
    ((0, 1, 1), (0, 1, 1, 4), False, None),
    ((1, 1, 0), None, False, "t"),
    ((1, 0, 1), None, True, "n"),
])
def test_the_model_arguments_mean_what_they_mean_to_arima(order, seasonal_order, with_exog, trend):
    # With a threshold nothing reaches, the final fit is the first: ljungcv.arima's, bit for bit.
    rng = np.random.default_rng(7)
    y = np.cumsum(ar1(96, 7)) if order[1] else ar1(96, 7) + 5.0
    exog = rng.standard_normal((96, 2)) if with_exog else None
    found = ljungcv.outliers(y, order, seasonal_order, exog=exog, trend=trend, critical_value=1e6)
    fit = ljungcv.arima(y, order, seasonal_order or (0, 0, 0, 0), exog=exog, trend=trend)
    assert found.outliers == [] and found.fit.param_names == fit.param_names
    assert [hexed(v) for v in found.fit.params] == [hexed(v) for v in fit.params] and found.fit.llf == fit.llf
    assert np.array_equal(found.adjusted, y)
    d, D, s = order[1], (seasonal_order or (0, 0, 0, 1))[1], (seasonal_order or (0, 0, 0, 1))[3]
    assert found.tested == 96 - d - D * s


def test_none_is_the_default_the_docstring_states():
    y = ar1(80, 2)
    y[[20, 50]] += 5.0
    stated = ljungcv.outliers(y, (1, 0, 0), alpha=0.05, method="C", types=("AO", "LS", "TC"), delta=0.7,
                              max_rounds=10)
    same_result(ljungcv.outliers(y, (1, 0, 0)), stated)
    assert stated.critical_value == ljungcv.critical_value(80, 0.05, check=False)


# ---- Input: numbers only, read one way from lists, arrays and pandas.

def test_missing_values_are_the_same_in_every_form():
    pd = pytest.importorskip("pandas")
    y = ar1(60, 3)
    y[30] += 6.0
    gaps = [10, 45]
    y[gaps] = np.nan
    masked = np.ma.array(np.where(np.isnan(y), 1e300, y), mask=np.isnan(y))  # values under the mask are unread
    forms = {
        "list with None": [None if math.isnan(v) else float(v) for v in y],
        "list with nan": list(y),
        "masked array": masked,
        "Series": pd.Series(y),
        "nullable Series": pd.Series(pd.array([None if math.isnan(v) else v for v in y], dtype="Float64")),
        "object Series": pd.Series([pd.NA if math.isnan(v) else v for v in y], dtype=object),
        "fractions and None": [None if math.isnan(v) else fractions.Fraction(v) for v in y],
    }
    expected = ljungcv.outliers(y, (1, 0, 0))
    assert [(o.index, o.type) for o in expected.outliers] == [(30, "AO")] and expected.tested == 58
    assert np.isnan(np.asarray(expected.adjusted)[gaps]).all()
    for name, form in forms.items():
        try:
            same_result(ljungcv.outliers(form, (1, 0, 0)), expected)
        except AssertionError as error:
            raise AssertionError(name) from error


def test_values_that_are_not_numbers_are_refused_alike_in_every_form():
    pd = pytest.importorskip("pandas")
    days = [datetime.date(2001, 1, 1) + datetime.timedelta(days=i) for i in range(30)]
    contents = [  # the values, what the message calls the first one
        ([str(float(i)) for i in range(30)], "text"),
        ([datetime.timedelta(days=i) for i in range(30)], "a time span"),
        ([datetime.datetime.combine(day, datetime.time()) for day in days], "a date"),
        ([object() for _ in range(30)], "an object"),
        ([i % 2 == 0 for i in range(30)], "a boolean"),
        ([1.0 + 1j] * 30, "a complex number"),
    ]
    for values, kind in contents:
        for form in (values, np.array(values), pd.Series(values)):
            with pytest.raises(TypeError, match=f"^y must hold numbers; at index 0 it holds {kind} "):
                ljungcv.outliers(form)
    # A list is judged by its values as given, not as NumPy would make them one type.
    with pytest.raises(TypeError, match=r"at index 2 it holds text \('3'\)"):
        ljungcv.outliers([1.0, 2.0, "3"] + [4.0] * 30)
    with pytest.raises(TypeError, match=r"exog column 'b' must hold numbers; at index 0 it holds text"):
        ljungcv.outliers(np.arange(30.0), exog=pd.DataFrame({"a": np.ones(30), "b": ["x"] * 30}))
    with pytest.raises(ValueError, match="y: value 4 is infinite"):  # the core's reason
        ljungcv.outliers([1.0, 2.0, 3.0, np.inf] + [5.0] * 30)


@pytest.mark.parametrize("arguments, error, message", [
    (dict(alpha="0.05"), TypeError, "^alpha must be a real number or None for the default, not str '0.05'$"),
    (dict(alpha=True), TypeError, "^alpha must be a real number"),
    (dict(delta="0.7"), TypeError, "^delta must be a real number"),
    (dict(critical_value=np.array([3.0])), TypeError, "^critical_value must be a real number"),
    (dict(critical_value=math.nan), ValueError, "^critical_value is nan"),
    (dict(max_rounds=2.0), TypeError, "^max_rounds must be an integer"),
    (dict(max_rounds=2**40), ValueError, "^max_rounds 1099511627776 is out of range"),
    (dict(method=5), TypeError, "^method must be a string"),
    (dict(method="C\0L"), ValueError, "^unknown method 'C\\\\x00L'"),
    (dict(types=("AO", "\x1b")), ValueError, "^unknown outlier type '\\\\x1b'"),
    (dict(trend="ct"), ValueError, "^trend must be None"),
    (dict(order=(1, 0)), ValueError, "^order must be 3 integers"),
    # The core's rules, in its words.
    (dict(alpha=0.5), ValueError, "alpha must be a level between 0 and 0.1"),
    (dict(delta=1.0), ValueError, "^delta: "),
    (dict(critical_value=-1), ValueError, "^critical_value: must be finite and positive"),
    (dict(types=()), ValueError, "^types: "),
    (dict(max_rounds=0), ValueError, "^max_rounds: must be from 1 to 100"),
    (dict(order=(6, 0, 0)), ValueError, "^p: must be from 0 to 5"),
])
def test_bad_arguments_are_errors_that_name_the_argument(arguments, error, message):
    with pytest.raises(error, match=message):
        ljungcv.outliers(np.sin(np.arange(40.0)), **arguments)


def test_numbers_of_any_real_type_are_taken():
    y = np.sin(np.arange(40.0)) * 3
    y[20] += 9
    same_result(ljungcv.outliers(y, alpha=np.float32(0.05), delta=fractions.Fraction(7, 10), max_rounds=np.int8(10)),
                ljungcv.outliers(y, alpha=float(np.float32(0.05)), delta=0.7, max_rounds=10))


# ---- The result's flags, as warnings and in the summary.

@pytest.mark.parametrize("case, flag, words", [
    ("twenty values", "short_series", "more outliers are reported than alpha says"),
    ("t(2) noise", "heavy_tails", "the critical value assumes normal residuals"),
    ("threshold 0.5", "reached_bound", "the model or the threshold does not fit the series"),
    ("one round", "rounds_exhausted", "the last of 1 rounds still found new outliers"),
])
def test_each_flag_warns_once_and_has_a_line_in_the_summary(case, flag, words):
    rng = np.random.default_rng(11)
    y = ar1(200, 11)
    y[[60, 140]] += 7.0
    calls = {"twenty values": lambda: ljungcv.outliers(ar1(20, 11)),
             "t(2) noise": lambda: ljungcv.outliers(rng.standard_t(2, 200)),
             "threshold 0.5": lambda: ljungcv.outliers(ar1(200, 11), (1, 0, 0), critical_value=0.5),
             "one round": lambda: ljungcv.outliers(y, (1, 0, 0), max_rounds=1)}
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        found = calls[case]()
    assert getattr(found, flag)
    ours = [w for w in caught if w.category is ljungcv.OutlierWarning and w.message.flag == flag]
    assert len(ours) == 1 and words in str(ours[0].message) and ours[0].filename == __file__
    assert issubclass(ljungcv.OutlierWarning, UserWarning)
    assert f"note: {ours[0].message}" in found.summary().splitlines()
    if flag == "heavy_tails":
        assert found.excess_kurtosis > 1 and found.kurtosis_p_value < 0.10
        assert f"p = {found.kurtosis_p_value:.3g}" in str(ours[0].message)


def test_a_long_gaussian_series_warns_of_nothing():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        found = ljungcv.outliers(ar1(200, 5), (1, 0, 0))
    assert not (found.short_series or found.heavy_tails or found.reached_bound or found.rounds_exhausted)
    assert found.outliers == [] and found.summary().count("\n") == 0 and 0.10 <= found.kurtosis_p_value <= 1


# ---- Faults of the former route: a constant series with a spike, a short series.

def test_a_spike_in_a_constant_series_and_a_short_series():
    found = ljungcv.outliers([5] * 10 + [100] + [5] * 9, (0, 0, 0))
    assert [(o.index, o.type) for o in found.outliers] == [(10, "AO")] and found.outliers[0].effect == 95.0
    assert np.array_equal(found.adjusted, np.full(20, 5.0))
    short = ljungcv.outliers([0.33, 0.46, 1.56, 1.33, 0.16, 0.37, -1.19, -0.4, 0.32, 0.78], (0, 0, 0))
    assert short.tested == 10 and short.short_series


# ---- What the results give: labels, frames, summaries, plots.

def test_an_implanted_six_sigma_additive_outlier_is_found_at_its_time():
    pd = pytest.importorskip("pandas")
    hits = 0
    for seed in range(10):
        y = ar1(150, seed)
        y[70] += 6.0
        series = pd.Series(y + 10.0, index=pd.date_range("2001-01-01", periods=150, freq="D"), name="flow")
        result = ljungcv.outliers(series, order=(1, 0, 0))
        assert result.critical_value == ljungcv.critical_value(150, 0.05, check=False)
        found = {(o.index, o.type): o for o in result.outliers}
        if (70, "AO") in found:
            hits += 1
            outlier = found[(70, "AO")]
            assert outlier.label == series.index[70]
            assert abs(outlier.effect - 6.0) < 3.0 and abs(outlier.tstat) > result.critical_value
            assert result.adjusted.index.equals(series.index) and result.adjusted.name == "flow"
            assert abs(result.adjusted.iloc[70] - (series.iloc[70] - outlier.effect)) < 1e-9
            assert "AO71" in result.fit.param_names  # named by 1-based time in the fit
        assert all(abs(o.tstat) >= result.critical_value for o in result.outliers)
        assert str(series.index[70].date()) in result.summary() or (70, "AO") not in found
    assert hits >= 9


def test_the_summary_shows_times_in_the_series_own_frequency():
    pd = pytest.importorskip("pandas")
    y = ar1(120, 4) + 10.0
    y[30] += 8.0
    months = pd.date_range("2005-01-01", periods=120, freq="MS")
    cases = [(months, "2007-07"),
             (pd.DatetimeIndex(list(months)), "2007-07"),  # no frequency of its own: pandas infers it
             (pd.date_range("2005-01-01", periods=120, freq="QS"), "2012Q3"),
             (pd.date_range("1900-12-31", periods=120, freq="A"), "1930"),
             (pd.DatetimeIndex(list(months[:29]) + list(months[29:] + pd.Timedelta(days=1))), "2007-07-02")]
    for index, shown in cases:
        result = ljungcv.outliers(pd.Series(y, index=index), order=(1, 0, 0), types=("AO",))
        assert [(o.index, o.label) for o in result.outliers] == [(30, index[30])], index
        row = result.summary().splitlines()[2]
        assert row.split()[0] == shown and "00:00:00" not in result.summary(), (index, row)
    assert result.summary().splitlines()[0] == f"ARIMA(1,0,0): 1 outlier at critical value {result.critical_value:.4f}"
    frame = result.frame()
    assert list(frame.columns) == ["index", "type", "effect", "tstat", "label"]
    assert frame.iloc[0].tolist() == list(result.outliers[0][:4]) + [index[30]]


def test_a_level_shift_in_a_random_walk_and_a_threshold_of_ones_own():
    rng = np.random.default_rng(3)
    y = np.cumsum(rng.standard_normal(120) - 0.5 * np.r_[0.0, rng.standard_normal(119)])
    y[60:] += 8.0
    result = ljungcv.outliers(y, order=(0, 1, 1), types=("LS",))
    assert [(o.index, o.type) for o in result.outliers] == [(60, "LS")]
    assert result.outliers[0].label is None and isinstance(result.adjusted, np.ndarray)
    assert result.critical_value == ljungcv.critical_value(119, 0.05, check=False)  # n - d residuals
    assert np.ptp(np.diff(result.adjusted)[55:65]) < np.ptp(np.diff(y)[55:65])
    assert ljungcv.outliers(y, order=(0, 1, 1), types=("LS",), critical_value=1e6).outliers == []
    assert list(result.frame().columns) == ["index", "type", "effect", "tstat"]


def test_an_innovational_outlier_moves_the_series_along_the_models_psi_weights():
    rng = np.random.default_rng(0)
    e = rng.standard_normal(200)
    e[100] += 7.0
    y = np.empty(200)
    y[0] = e[0]
    for t in range(1, 200):
        y[t] = 0.6 * y[t - 1] + e[t]
    result = ljungcv.outliers(y, order=(1, 0, 0), types=("IO", "AO"))
    assert [(o.index, o.type) for o in result.outliers] == [(100, "IO")]
    path = (y - result.adjusted) / result.outliers[0].effect
    assert np.all(path[:100] == 0.0) and abs(path[100] - 1.0) < 1e-9
    ratios = path[101:110] / path[100:109]
    assert np.allclose(ratios, ratios[0], rtol=1e-12) and abs(ratios[0] - 0.6) < 0.15  # AR(1): psi_j = phi^j


def test_the_plot_draws_the_series_the_adjusted_series_and_the_outliers():
    pytest.importorskip("matplotlib")
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    y = ar1(100, 8)
    y[[25, 70]] += [7.0, -7.0]
    result = ljungcv.outliers(y, (1, 0, 0))
    figure, ax = plt.subplots()
    assert result.plot(ax) is ax
    series, adjusted, marks = ax.get_lines()
    assert np.array_equal(series.get_ydata(), y) and np.array_equal(adjusted.get_ydata(), result.adjusted)
    assert marks.get_xdata().tolist() == [25, 70] == [o.index for o in result.outliers]
    assert [text.get_text() for text in ax.texts] == ["AO", "AO"]
    plt.close(figure)


def test_pandas_and_matplotlib_are_imported_only_by_what_needs_them():
    pytest.importorskip("pandas")
    code = ("import sys\n"
            "sys.modules['matplotlib'] = None\n"  # as if not installed
            "import ljungcv\n"
            "found = ljungcv.outliers([0.0] * 20 + [9.0] + [0.5, -0.5] * 10, (0, 0, 0), critical_value=3.0)\n"
            "print(sorted(name for name in ('pandas', 'statsmodels') if name in sys.modules))\n"
            "try:\n"
            "    found.plot()\n"
            "except ImportError as error:\n"
            "    print(error)\n"
            "print(found.frame().shape, 'pandas' in sys.modules)\n")
    out = subprocess.run([sys.executable, "-W", "ignore", "-c", code], capture_output=True, text=True,
                         check=True).stdout.splitlines()
    assert out[0] == "[]" and "python3-matplotlib" in out[1] and out[2] == "(1, 4) True"


# ---- Ctrl-C.

def test_ctrl_c_stops_the_call_and_raises_keyboard_interrupt():
    # A SIGINT from a timer into a call of about 2 s (77 outliers over 10 rounds); in a process of its
    # own, whose end it may be, with Python's own Ctrl-C handler even where the test runs with SIGINT
    # ignored (a job a shell starts in the background inherits that, and Python then installs none).
    code = """if True:
        import json, os, signal, sys, threading, time, warnings
        import numpy as np, ljungcv
        warnings.simplefilter("ignore")
        signal.signal(signal.SIGINT, signal.default_int_handler)
        y = np.random.default_rng(1).standard_normal(400)
        sent = []
        def interrupt():
            sent.append(time.perf_counter())
            os.kill(os.getpid(), signal.SIGINT)
        threading.Timer(0.25, interrupt).start()
        try:
            ljungcv.outliers(y, (1, 0, 0), critical_value=2.0)
            outcome = "finished"
        except KeyboardInterrupt:
            outcome = "interrupted"
        latency = time.perf_counter() - sent[0] if sent else None
        restored = signal.getsignal(signal.SIGINT) is signal.default_int_handler
        after = ljungcv.outliers(y[:100], (1, 0, 0)).tested
        print(json.dumps([outcome, latency, restored, after]))
    """
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    outcome, latency, restored, after = json.loads(run.stdout)
    assert outcome == "interrupted" and latency < 1.0 and restored and after == 100, (outcome, latency)


def write_fixture():
    text = ("# Residuals, pi weights and the core's outlier statistics and locate stage, as hex doubles.\n"
            "# Python's and R's tests both check these bits; rewrite with python/tests/test_outliers.py.\n")
    FIXTURE.write_text(text + "\n".join(fixture_lines()) + "\n", encoding="utf-8")


def write_procedure_fixture():
    PROCEDURE_FIXTURE.write_text(PROCEDURE_HEADER + "\n".join(procedure_lines()) + "\n", encoding="utf-8")


if __name__ == "__main__":
    write_fixture()
    write_procedure_fixture()
