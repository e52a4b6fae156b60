"""ljungcv.arima: the core's fit through the C interface.

The estimator is tested in C++; these tests check what the binding adds and
how the fit stands against statsmodels' SARIMAX, run as a peer: our
log-likelihood at our estimate is never below the peer's by more than 1e-6
relative, and where the peer reaches the same optimum the coefficients agree
to 1e-3. Python, R and C give the bits of one shared fixture
(r/ljungcv/tests/testthat/arima-fixture.txt).

    /usr/bin/python3 python/tests/test_arima.py   rewrites the fixture
"""

import math
import sys
import warnings
from pathlib import Path

import numpy as np
import pytest

import ljungcv

FIXTURE = Path(__file__).resolve().parents[2] / "r" / "ljungcv" / "tests" / "testthat" / "arima-fixture.txt"


def simulate(rng, n, ar=(), ma=(), burn=100):
    """An ARMA series with unit innovations, after a burn-in."""
    e = rng.standard_normal(n + burn)
    y = np.zeros(n + burn)
    for t in range(n + burn):
        y[t] = e[t] + sum(a * y[t - i - 1] for i, a in enumerate(ar) if t > i) \
            + sum(b * e[t - j - 1] for j, b in enumerate(ma) if t > j)
    return y[burn:]


def integrate(x, lag=1):
    y = np.array(x, dtype=float)
    for t in range(lag, len(y)):
        y[t] += y[t - lag]
    return y


def cases():
    """(name, y, order, seasonal_order, exog): the fixed seeded cases."""
    rng = np.random.default_rng(35)
    # The airline errors: (1 - 0.4 B)(1 - 0.6 B^12) a_t, integrated twice.
    e = rng.standard_normal(144 + 13)
    u = np.array([e[t] - 0.4 * e[t - 1] - 0.6 * e[t - 12] + 0.24 * e[t - 13] for t in range(13, 157)])
    airline = integrate(integrate(u, 12), 1) + 100.0
    x = rng.standard_normal((120, 2))
    regression = x @ np.array([1.5, -0.8]) + simulate(rng, 120, ar=(0.5,)) + 3.0
    gappy = simulate(rng, 160, ar=(0.7,)) + 10.0
    gappy[rng.choice(160, size=8, replace=False)] = np.nan  # 5 % missing
    return [
        ("AR(2)", simulate(rng, 150, ar=(0.6, -0.3)) + 2.0, (2, 0, 0), (0, 0, 0, 0), None),
        ("ARMA(1,1)", simulate(rng, 150, ar=(0.7,), ma=(0.4,)), (1, 0, 1), (0, 0, 0, 0), None),
        ("ARIMA(0,1,1)", integrate(simulate(rng, 150, ma=(-0.5,))), (0, 1, 1), (0, 0, 0, 0), None),
        ("airline", airline, (0, 1, 1), (0, 1, 1, 12), None),
        ("regression", regression, (1, 0, 0), (0, 0, 0, 0), x),
        ("5% missing", gappy, (1, 0, 0), (0, 0, 0, 0), None),
    ]


def differenced(y, d, D, s):
    for _ in range(d):
        y = y[1:] - y[:-1]
    for _ in range(D):
        y = y[s:] - y[:-s]
    return y


def peer(y, order, seasonal_order, exog):
    """statsmodels' SARIMAX on the same likelihood: the differenced series (its
    diffuse treatment of the integrated states is not ours), with the mean as
    a regressor, as ours is. Returns the log-likelihood and the coefficients
    by our names."""
    from statsmodels.tsa.statespace.sarimax import SARIMAX
    p, d, q = order
    P, D, Q, s = seasonal_order
    z = differenced(np.asarray(y, dtype=float), d, D, s)
    columns = [] if exog is None else [np.asarray(exog).reshape(len(y), -1)[len(y) - len(z):]]
    if d + D == 0:
        columns.insert(0, np.ones((len(z), 1)))
    X = np.hstack(columns) if columns else None
    model = SARIMAX(z, exog=X, order=(p, 0, q), seasonal_order=(P, 0, Q, s),
                    enforce_stationarity=True, enforce_invertibility=True)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        fit = model.fit(disp=False, maxiter=500)
    names = dict(zip(model.param_names, fit.params))
    ours = {}
    for i in range(1, p + 1):
        ours[f"ar{i}"] = names[f"ar.L{i}"]
    for i in range(1, q + 1):
        ours[f"ma{i}"] = names[f"ma.L{i}"]
    for i in range(1, P + 1):
        ours[f"sar{i}"] = names[f"ar.S.L{s * i}"]
    for i in range(1, Q + 1):
        ours[f"sma{i}"] = names[f"ma.S.L{s * i}"]
    regression = [v for k, v in names.items() if k.startswith(("const", "x"))] if X is not None else []
    regression_names = (["intercept"] if d + D == 0 else []) + \
        ([] if exog is None else [f"x{j + 1}" for j in range(np.asarray(exog).reshape(len(y), -1).shape[1])])
    ours.update(zip(regression_names, regression))
    return fit.llf, ours


@pytest.mark.parametrize("name, y, order, seasonal, exog", cases(), ids=[c[0] for c in cases()])
def test_the_fit_is_at_least_as_likely_as_statsmodels(name, y, order, seasonal, exog):
    pytest.importorskip("statsmodels")
    fit = ljungcv.arima(y, order=order, seasonal_order=seasonal, exog=exog)
    assert fit.converged, fit.message
    llf, coefficients = peer(y, order, seasonal, exog)
    assert fit.llf >= llf - 1e-6 * abs(llf), f"{name}: ours {fit.llf}, statsmodels {llf}"
    if abs(fit.llf - llf) <= 1e-6 * abs(llf):  # the same optimum: the same coefficients
        ours = dict(zip(fit.param_names, fit.params))
        assert set(ours) == set(coefficients)
        for key, value in coefficients.items():
            assert ours[key] == pytest.approx(value, abs=1e-3), f"{name}: {key}"


def hexed(x):
    return "NaN" if math.isnan(x) else float(x).hex()


def fixture_lines():
    """Each case's input and our fit's bits, one line per field."""
    lines = []
    for name, y, order, seasonal, exog in cases():
        key = name.replace(" ", "_")
        fit = ljungcv.arima(y, order=order, seasonal_order=seasonal, exog=exog)
        p, d, q = order
        P, D, Q, s = seasonal
        lines.append(f"case {key} {p} {d} {q} {P} {D} {Q} {max(s, 1)}")
        lines.append(f"y {key} " + " ".join(hexed(v) for v in y))
        if exog is not None:
            lines.append(f"xreg {key} " + " ".join(hexed(v) for v in np.asarray(exog).ravel(order="F")))
        lines.append(f"names {key} " + " ".join(fit.param_names))
        lines.append(f"coef {key} " + " ".join(hexed(v) for v in fit.params))
        lines.append(f"se {key} " + " ".join(hexed(v) for v in fit.bse))
        lines.append(f"fit {key} {hexed(fit.llf)} {hexed(fit.sigma2)} {hexed(fit.aic)} {fit.nobs}")
        lines.append(f"resid {key} " + " ".join(hexed(v) for v in fit.resid))
        lines.append(f"pi {key} " + " ".join(hexed(v) for v in fit.pi_weights[:12]))
    return lines


def test_python_gives_the_bits_of_the_shared_fixture():
    # C's and R's tests read the same file, so the three give these bits.
    expected = [line for line in FIXTURE.read_text(encoding="utf-8").splitlines() if not line.startswith("#")]
    assert fixture_lines() == expected


def test_pandas_in_gives_pandas_out_with_index_and_frequency():
    pd = pytest.importorskip("pandas")
    name, y, order, seasonal, _ = cases()[5]
    index = pd.date_range("2001-01", periods=len(y), freq="MS")
    series = pd.Series(y, index=index, name="sales")
    fit = ljungcv.arima(series, order=order, seasonal_order=seasonal)
    plain = ljungcv.arima(y, order=order, seasonal_order=seasonal)
    assert fit.resid.index.equals(index) and fit.resid.index.freq == index.freq and fit.resid.name == "sales"
    assert list(fit.params.index) == ["ar1", "intercept"]
    assert fit.cov_params().shape == (2, 2) and list(fit.cov_params().columns) == ["ar1", "intercept"]
    np.testing.assert_array_equal(fit.resid.to_numpy(), plain.resid)
    # A nullable column's pd.NA and a masked value are missing values, as NaN is.
    nullable = pd.Series(pd.array(np.where(np.isnan(y), None, y).tolist(), dtype="Float64"))
    masked = np.ma.array(np.nan_to_num(y, nan=12345.0), mask=np.isnan(y))
    for other in (ljungcv.arima(nullable, order=order), ljungcv.arima(masked, order=order),
                  ljungcv.arima(list(y), order=order)):
        np.testing.assert_array_equal(np.asarray(other.resid, dtype=float), plain.resid)
        assert other.llf == plain.llf
    assert "ar1" in fit.summary() and "Log likelihood" in fit.summary()


@pytest.mark.parametrize("call, error, message", [
    (lambda y: ljungcv.arima(y, order=(6, 0, 0)), ValueError, "p: must be from 0 to 5, got 6"),
    (lambda y: ljungcv.arima(y, order=(0, 1, 0), trend="c"), ValueError, "include_mean: a mean needs d \\+ D = 0"),
    (lambda y: ljungcv.arima(y, (0, 0, 0), trend="t"), ValueError, "include_drift: a drift needs d \\+ D = 1"),
    (lambda y: ljungcv.arima(y, trend="ct"), ValueError, "trend must be None, 'n', 'c' or 't'"),
    (lambda y: ljungcv.arima(y, order=(1, 0)), ValueError, "order must be 3 integers"),
    (lambda y: ljungcv.arima(y, seasonal_order=(1, 0, 0, 1.5)), ValueError, "seasonal_order must be 4 integers"),
    (lambda y: ljungcv.arima(y, exog=np.ones(len(y) - 1)), ValueError, "exog must have one row per value"),
    (lambda y: ljungcv.arima(np.r_[y[:-1], np.inf]), ValueError, "y: value 40 is infinite"),
    (lambda y: ljungcv.arima(np.full(40, np.nan)), ValueError, "y: every value is missing"),
    (lambda y: ljungcv.arima(y.astype(str)), TypeError, "y must hold numbers"),
    (lambda y: ljungcv.arima(y > 0), TypeError, "y must hold numbers"),
    (lambda y: ljungcv.arima(np.arange(40).astype("timedelta64[s]")), TypeError, "y must hold numbers"),
    (lambda y: ljungcv.arima(y.reshape(4, 10)), ValueError, "y must be one-dimensional"),
])
def test_bad_input_is_an_error_that_names_the_argument_and_the_rule(call, error, message):
    y = np.sin(np.arange(40.0)) + 0.1 * np.arange(40.0)
    with pytest.raises(error, match=message):
        call(y)


if __name__ == "__main__":
    FIXTURE.write_text("# ljungcv.arima's fits of the seeded cases of python/tests/test_arima.py, as C99 hex\n"
                       "# doubles; Python, R and C (tests/kit/fit_test.cpp) give these bits.\n"
                       + "\n".join(fixture_lines()) + "\n", encoding="utf-8")
    sys.exit(0)
