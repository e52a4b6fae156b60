"""Tests of ljungcv.outliers and ljungcv.outlier_statistics.

The statistics are the core's; these tests check what the binding adds:
the arguments reach the C calls in the right places and Python and R give
the same bits (a fixture
both read, r/ljungcv/tests/testthat/outlier-fixture.txt), the procedure
around the fit finds an implanted outlier, and bad input is refused.

    /usr/bin/python3 python/tests/test_outliers.py   rewrites the fixture's expected values
"""

import math
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import ljungcv

FIXTURE = Path(__file__).resolve().parents[2] / "r" / "ljungcv" / "tests" / "testthat" / "outlier-fixture.txt"
# (type, delta, sigma) cases of the fixture; sigma None is the default scale.
CASES = [("AO", 0.7, None), ("LS", 0.7, None), ("TC", 0.7, None), ("IO", 0.7, None), ("TC", 0.4, None),
         ("AO", 0.7, 1.3)]
LOCATE_CASES = [(3.0, 0.05, "C"), (math.nan, 0.05, "C"), (math.nan, 0.01, "L")]
TYPE_SET = ljungcv.OUTLIER_TYPES["AO"] | ljungcv.OUTLIER_TYPES["LS"] | ljungcv.OUTLIER_TYPES["TC"]


def fixture_inputs():
    rng = np.random.default_rng(25)
    residuals = rng.standard_normal(40)
    residuals[17] += 5.0
    residuals[30:] += 2.5
    return residuals, np.array([0.5, -0.2, 0.1])


def locate(residuals, pi, critical_value, alpha, method):
    from ljungcv import _outliers
    return _outliers._locate(np.ascontiguousarray(residuals), np.ascontiguousarray(pi), TYPE_SET, 0.7, alpha,
                             method, critical_value)


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
    return "NaN" if math.isnan(x) else x.hex()


def test_python_gives_the_bits_of_the_shared_fixture():
    # R's tests read the same file, so both languages give these bits.
    expected = FIXTURE.read_text(encoding="utf-8").splitlines()
    expected = [line for line in expected if not line.startswith("#")]
    assert fixture_lines() == expected


def test_bad_input_is_a_value_error_that_says_why():
    residuals, pi = fixture_inputs()
    with pytest.raises(ValueError, match="unknown outlier type 'XO'"):
        ljungcv.outlier_statistics(residuals, pi, "XO")
    with pytest.raises(ValueError, match="unknown outlier type '\\\\x1b'"):
        ljungcv.outliers(np.arange(10.0), types=("AO", "\x1b"))
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
    with pytest.raises(ValueError, match="at least 5"):
        ljungcv.outliers([1.0, 2.0, 3.0, 4.0])
    with pytest.raises(ValueError, match="at least 6 for d = 1"):
        ljungcv.outliers([1.0, 2.0, 3.0, 4.0, 5.0], order=(0, 1, 1))
    with pytest.raises(ValueError, match="missing or infinite value, the first at position 3"):
        ljungcv.outliers([1.0, 2.0, 3.0, np.nan, 5.0, 6.0])
    with pytest.raises(ValueError, match="types is empty"):
        ljungcv.outliers(np.arange(10.0), types=())
    with pytest.raises(ValueError, match="order"):
        ljungcv.outliers(np.arange(10.0), order=(1, 0))
    with pytest.raises(ValueError, match="critical_value"):
        ljungcv.outliers(np.arange(10.0), critical_value=-1)
    with pytest.raises(ValueError):  # the module rejects the level
        ljungcv.outliers(np.sin(np.arange(30.0)), alpha=0.5)


def ar1(n, seed, phi=0.5):
    rng = np.random.default_rng(seed)
    e = rng.standard_normal(n + 100)
    y = np.empty_like(e)
    y[0] = e[0]
    for t in range(1, y.size):
        y[t] = phi * y[t - 1] + e[t]
    return y[100:]


@pytest.mark.filterwarnings("ignore")
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
        assert all(abs(o.tstat) >= result.critical_value for o in result.outliers)
        assert str(series.index[70].date()) in result.summary() or (70, "AO") not in found
    assert hits >= 9


@pytest.mark.filterwarnings("ignore")
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


@pytest.mark.filterwarnings("ignore")
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


@pytest.mark.filterwarnings("ignore")
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


@pytest.mark.filterwarnings("ignore")
def test_a_level_shift_at_the_first_time_of_an_undifferenced_series_is_its_mean(monkeypatch):
    # The model has a constant already; such a shift gets no regressor
    # (statsmodels would refuse a second constant).
    from ljungcv import _outliers
    locate = _outliers._locate

    def with_a_shift_at_the_start(residuals, pi, types, delta, alpha, method, critical_value):
        found, used = locate(residuals, pi, types, delta, alpha, method, critical_value)
        return [(0, ljungcv.OUTLIER_TYPES["LS"], 5.0, 9.0)] + found, used

    monkeypatch.setattr(_outliers, "_locate", with_a_shift_at_the_start)
    y = ar1(80, 4) + 3.0
    y[40] += 7.0
    result = ljungcv.outliers(y, order=(1, 0, 0))
    assert [(o.index, o.type) for o in result.outliers] == [(40, "AO")]


def test_statsmodels_is_imported_by_outliers_only_and_its_absence_says_how_to_install():
    code = ("import sys; sys.modules['statsmodels'] = None\n"
            "import ljungcv\n"
            "ljungcv.outlier_statistics([1.0, -2.0, 0.5], [], 'AO')\n"
            "try:\n"
            "    ljungcv.outliers(list(range(10)))\n"
            "except ImportError as error:\n"
            "    print(error)\n")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert "python3-statsmodels" in out


def write_fixture():
    text = ("# Residuals, pi weights and the core's outlier statistics and locate stage, as hex doubles.\n"
            "# Python's and R's tests both check these bits; rewrite with python/tests/test_outliers.py.\n")
    FIXTURE.write_text(text + "\n".join(fixture_lines()) + "\n", encoding="utf-8")


if __name__ == "__main__":
    write_fixture()
