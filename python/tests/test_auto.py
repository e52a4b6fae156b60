"""Tests of order="auto", the default of ljungcv.arima, outliers and screen.

The identification is the core's, tested in C++; these tests check what the
binding adds: the model chosen is the model fitted (auto gives the bits of
the explicit call with the order and constant it reports), the candidates
are read right (the chosen one has the least AICc of those kept), the period
comes from the caller or the index, refusals name the argument, and screen
gives each series what outliers gives it alone. The series are short and
the searches small: the suite has a time budget.
"""

import warnings

import numpy as np
import pytest

import ljungcv

pd = pytest.importorskip("pandas")

SMALL = {"max_p": 2, "max_q": 2, "max_P": 1, "max_Q": 1, "max_models": 30}
pytestmark = pytest.mark.filterwarnings("ignore::ljungcv.OutlierWarning")


def arma(rng, n, ar=0.0, ma=0.0, burn=50):
    a = rng.standard_normal(n + burn)
    u = np.zeros_like(a)
    for t in range(1, a.size):
        u[t] = ar * u[t - 1] + a[t] + ma * a[t - 1]
    return u[burn:]


def seasonal(rng, n=72):
    """A monthly series with a season and a trend, indexed by its months."""
    months = pd.period_range("2015-01", periods=n, freq="M")
    y = 10 + 3 * np.sin(2 * np.pi * np.arange(n) / 12) + np.cumsum(arma(rng, n, ma=-0.5)) * 0.5
    return pd.Series(y, index=months, name="sales")


def cases():
    rng = np.random.default_rng(71)
    return {"ar(1) with a mean": 5 + arma(rng, 100, ar=0.6),
            "random walk with drift": np.cumsum(0.3 + rng.standard_normal(90)),
            "monthly, period from the index": seasonal(rng)}


CASES = cases()


def trend_of(fit):
    """The constant the identified fit has, as trend= gives it to an explicit call."""
    return "c" if "intercept" in fit.param_names else "t" if "drift" in fit.param_names else "n"


@pytest.mark.parametrize("name", list(CASES))
def test_auto_gives_the_bits_of_the_explicit_call_with_the_model_it_chose(name):
    y = CASES[name]
    auto = ljungcv.arima(y, search=SMALL)
    chosen = auto.identification
    assert (auto.order, auto.seasonal_order) == (chosen.order, chosen.seasonal_order)
    kept = [c for c in chosen.candidates if c.outcome == "kept"]
    best = min(kept, key=lambda c: c.aicc)
    # The candidates are read right: the least AICc kept is the model fitted, with its constant.
    assert (best.order, best.seasonal_order) == (auto.order, auto.seasonal_order)
    # The candidates are ranked by a rougher search than the fit reported: their AICc agree closely.
    assert best.aicc == pytest.approx(auto.aicc, abs=1e-3) and best.constant == (trend_of(auto) != "n")
    assert all(c.reason == "" for c in kept) and all(c.reason for c in chosen.candidates if c.outcome != "kept")
    explicit = ljungcv.arima(y, auto.order, auto.seasonal_order, trend=trend_of(auto))
    assert explicit.identification is None
    assert explicit.param_names == auto.param_names
    assert np.asarray(explicit.params).tobytes() == np.asarray(auto.params).tobytes()
    assert (explicit.llf, explicit.sigma2) == (auto.llf, auto.sigma2)
    assert f"{auto._label}, identified by least AICc among {len(chosen.candidates)} candidates" in auto.summary()
    frame = chosen.frame()
    assert len(frame) == len(chosen.candidates) and frame.aicc.min() == best.aicc


def test_the_period_comes_from_the_index_or_the_caller():
    y = CASES["monthly, period from the index"]
    from_index = ljungcv.arima(y, search=SMALL)
    assert from_index.seasonal_order[3] == 12
    given = ljungcv.arima(y.to_numpy(), period=12, search=SMALL)
    assert (given.order, given.seasonal_order, given.llf) == (from_index.order, from_index.seasonal_order,
                                                             from_index.llf)
    assert ljungcv.arima(y, period=1, search=SMALL).seasonal_order == (0, 0, 0, 0)
    assert ljungcv.arima(pd.Series(y.to_numpy(), index=y.index.to_timestamp()), search=SMALL).llf == from_index.llf
    quarters = pd.Series(y.to_numpy()[:40], index=pd.period_range("2000Q1", periods=40, freq="Q"))
    assert ljungcv.arima(quarters, search={**SMALL, "D": 0, "max_P": 0, "max_Q": 0}).seasonal_order[3] == 4


def test_seasonal_order_alone_keeps_its_meaning_and_the_search_knobs_reach_the_core():
    y = CASES["ar(1) with a mean"]
    alone = ljungcv.arima(y, seasonal_order=(1, 0, 0, 4))
    assert alone.identification is None and alone.order == (0, 0, 0)
    assert alone.llf == ljungcv.arima(y, (0, 0, 0), (1, 0, 0, 4)).llf
    held = ljungcv.arima(y, search={"d": 1, "max_p": 1, "max_q": 0, "allow_constant": 0})
    assert held.order[1] == 1 and held.order[0] <= 1 and held.order[2] == 0 and trend_of(held) == "n"
    assert ljungcv.arima(y, search={"max_models": 1}).identification.model_bound_reached


def planted():
    rng = np.random.default_rng(8)
    y = 20 + arma(rng, 96, ar=0.5)
    y[40] += 7.0
    return y


def test_outliers_by_default_find_the_outlier_and_report_the_final_identification():
    y = planted()
    found = ljungcv.outliers(y, search=SMALL)
    assert [(o.index, o.type) for o in found.outliers] == [(40, "AO")]
    final = found.identification.adjusted
    assert (found.order, found.seasonal_order) == (final.order, final.seasonal_order)
    assert (found.fit.order, found.fit.seasonal_order) == (final.order, final.seasonal_order)
    assert found.identification.series.candidates
    explicit = ljungcv.outliers(y, found.order, found.seasonal_order, trend=trend_of(found.fit))
    assert explicit.identification is None
    assert [o[:4] for o in explicit.outliers] == [o[:4] for o in found.outliers]
    assert explicit.fit.llf == found.fit.llf
    assert final.describe() in found.summary()


Y = planted()
REFUSALS = [
    (lambda: ljungcv.arima(Y, "auto", (0, 1, 1, 12)), "^seasonal_order: order='auto'"),
    (lambda: ljungcv.arima(Y, trend="c"), "^trend='c': order='auto'"),
    (lambda: ljungcv.screen({"a": Y}, "auto", (0, 1, 1, 12)), "^seasonal_order"),
    (lambda: ljungcv.arima(Y, (1, 0, 0), period=12), "^period: only with order='auto'"),
    (lambda: ljungcv.arima(Y, search={"max_x": 1}), "^search: unknown knob 'max_x'"),
    (lambda: ljungcv.arima(Y, search={"max_p": 1.5}), r"^search\['max_p'\] must be an integer"),
    (lambda: ljungcv.arima(Y, period="12"), "^period must be an integer"),
    (lambda: ljungcv.arima(Y, order="automatic"), "^order must be 'auto' or 3 integers"),
    (lambda: ljungcv.screen({"m": pd.Series(Y, index=pd.period_range("2000-01", periods=96, freq="M")),
                             "q": pd.Series(Y, index=pd.period_range("2000Q1", periods=96, freq="Q"))}),
     "^period: the series' times state different periods"),
]


@pytest.mark.parametrize("call, message", REFUSALS)
def test_what_auto_does_not_take_is_an_error_naming_the_argument(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_screen_with_auto_gives_each_series_the_rows_of_outliers():
    rng = np.random.default_rng(30)
    data = {"planted": Y, "ar": 5 + arma(rng, 80, ar=0.4), "walk": np.cumsum(rng.standard_normal(70))}
    data["planted twice"] = Y.copy()
    data["planted twice"][70] -= 8.0
    result = ljungcv.screen(data, search=SMALL, workers=2)
    for key, y in data.items():
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", ljungcv.OutlierWarning)
            alone = ljungcv.outliers(y, search=SMALL)
        rows = result.outliers[result.outliers.series == key]
        assert [(int(t), kind, e, v) for t, kind, e, v in rows[["time", "type", "effect", "t"]].itertuples(
            index=False)] == [(o.index, o.type, o.effect, o.tstat) for o in alone.outliers]
        status = result.status[result.status.series == key].iloc[0]
        assert status.model == alone.fit._label
        assert (status.tested, status.critical_value) == (alone.tested, alone.critical_value)
    assert result.status.status.tolist() == ["ok"] * len(data)


def test_screen_takes_the_period_the_series_times_state():
    rng = np.random.default_rng(5)
    monthly = seasonal(rng)
    data = {"indexed": monthly, "positions": monthly.to_numpy() + rng.standard_normal(72) / 10}
    few = {"max_p": 1, "max_q": 1, "max_P": 1, "max_Q": 1, "max_models": 4}
    result = ljungcv.screen(data, search=few, workers=1)
    for key, y in data.items():
        model = result.status.model[result.status.series == key].item()
        assert model.endswith("[12]") and model == ljungcv.outliers(y, period=12, search=few).fit._label
    assert ljungcv.screen(data, period=1, search=few, workers=1).status.model.str.endswith(")").all()
