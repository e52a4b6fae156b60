"""order="auto": the identification's options from the caller's arguments, and how a model was chosen.

The core identifies the model (the differencing by its tests, the orders by
least AICc); this file maps ``period`` and ``search`` to its options, finds
the period a pandas index states, and reads the candidates and the
differencing's evidence out of a fit whose model was identified.
"""

from __future__ import annotations

import ctypes
import sys
from typing import Any, List, Mapping, NamedTuple, Optional, Tuple

import numpy as np

from ._host import IDENTIFY_OPTIONS_VERSION, IdentifyOptions, host

AUTO = "auto"

#: The knobs ``search=`` takes, each a field of the core's identification options.
SEARCH_KEYS = ("d", "D", "max_p", "max_q", "max_P", "max_Q", "stepwise", "max_order", "allow_constant",
               "max_models")

# A pandas frequency's base name -> the period of its season: a year of months, quarters, weeks.
_PERIODS = {"M": 12, "MS": 12, "ME": 12, "BM": 12, "BMS": 12, "BME": 12, "SM": 24, "SMS": 24,
            "Q": 4, "QS": 4, "QE": 4, "BQ": 4, "BQS": 4, "BQE": 4, "W": 52}


def options(search: Optional[Mapping[str, Any]]) -> IdentifyOptions:
    """The core's identification options: its defaults, with the knobs of ``search`` set."""
    identify = IdentifyOptions()
    host().lib.cvhost_identify_options_init(ctypes.byref(identify), IDENTIFY_OPTIONS_VERSION)
    if search is None:
        return identify
    if not isinstance(search, Mapping):
        raise TypeError(f"search must be a dict of the identification's knobs, not {type(search).__name__}")
    for key, value in search.items():
        if key not in SEARCH_KEYS:
            raise ValueError(f"search: unknown knob {key!r}; the knobs are {', '.join(SEARCH_KEYS)}")
        if not isinstance(value, (int, np.integer)) or not -2**31 <= value < 2**31:
            raise ValueError(f"search[{key!r}] must be an integer (or a bool for stepwise and allow_constant), "
                             f"not {value!r}")
        setattr(identify, key, int(value))
    return identify


def index_period(labels: Any) -> int:
    """The period a pandas index's frequency states (monthly 12, quarterly 4, weekly 52); 1 for none."""
    pd = sys.modules.get("pandas")
    if pd is None or labels is None:
        return 1
    freq = None
    if isinstance(labels, pd.PeriodIndex):
        freq = labels.freq
    elif isinstance(labels, pd.DatetimeIndex):
        try:
            freq = labels.freq or (pd.infer_freq(labels) if len(labels) >= 3 else None)
        except (TypeError, ValueError):  # times pandas cannot read a frequency from state none
            freq = None
    if freq is None:
        return 1
    offset = pd.tseries.frequencies.to_offset(freq)
    if offset.n != 1:
        return 1
    base = offset.name.split("-")[0]
    return _PERIODS.get(base, 1)


class Candidate(NamedTuple):
    """One model the identification fitted."""
    order: Tuple[int, int, int]
    seasonal_order: Tuple[int, int, int, int]
    constant: bool   #: with a mean (d + D = 0) or a drift (d + D = 1)
    aicc: float      #: NaN unless kept
    outcome: str     #: "kept", "refused", "not converged" or "near unit root"
    reason: str      #: why it was not kept; "" when it was


class Identification:
    """How an identified model was chosen: the candidates and the differencing's evidence.

    ``order`` and ``seasonal_order``: the model chosen. ``candidates``: a
    list of :class:`Candidate` in the order tried (``frame()`` gives them as
    a DataFrame). ``seasonal_strength``: what chose D (NaN where not
    measured). ``kpss``: (statistic, p-value) of each KPSS test, test i on
    the series differenced i times, which chose d. ``model_bound_reached``:
    the search stopped at ``max_models`` with the best so far.
    """

    def __init__(self, fit: Any) -> None:
        lib = host().lib
        order = model_order(fit)
        self.order: Tuple[int, int, int] = order[0]
        self.seasonal_order: Tuple[int, int, int, int] = order[1]
        s = self.seasonal_order[3]
        count = lib.cvhost_fit_candidate_count(fit)
        orders = _ints(lib.cvhost_fit_candidate_orders(fit), 6 * count).reshape(count, 6)
        constants = _ints(lib.cvhost_fit_candidate_constants(fit), count)
        aicc = _doubles(lib.cvhost_fit_candidate_aicc(fit), count)
        self.candidates: List[Candidate] = [
            Candidate(tuple(int(v) for v in orders[i, :3]), (*(int(v) for v in orders[i, 3:]), s),
                      bool(constants[i]), float(aicc[i]), _text(lib.cvhost_fit_candidate_outcome(fit, i)),
                      _text(lib.cvhost_fit_candidate_reason(fit, i)))
            for i in range(count)]
        self.seasonal_strength: float = lib.cvhost_fit_seasonal_strength(fit)
        tests = lib.cvhost_fit_kpss_count(fit)
        self.kpss: List[Tuple[float, float]] = list(zip(
            _doubles(lib.cvhost_fit_kpss_statistics(fit), tests).tolist(),
            _doubles(lib.cvhost_fit_kpss_p_values(fit), tests).tolist()))
        self.model_bound_reached: bool = bool(lib.cvhost_fit_model_bound_reached(fit))

    @property
    def label(self) -> str:
        return label(self.order, self.seasonal_order)

    def describe(self) -> str:
        """One line: the model and how it was chosen."""
        count = len(self.candidates)
        exact = any(c.outcome == "exact fit" for c in self.candidates)
        rule = "as the fewest coefficients that reproduce the series exactly" if exact else "by least AICc"
        line = (f"{self.label}, identified {rule} among {count} candidate{'' if count == 1 else 's'}"
                f" ({sum(c.outcome == 'kept' for c in self.candidates)} kept)")
        return line + ("; the search stopped at max_models" if self.model_bound_reached else "")

    def frame(self) -> Any:
        """The candidates as a pandas DataFrame: order, seasonal_order, constant, aicc, outcome, reason."""
        import pandas as pd
        return pd.DataFrame({"order": [c.order for c in self.candidates],
                             "seasonal_order": [c.seasonal_order for c in self.candidates],
                             "constant": np.array([c.constant for c in self.candidates], dtype=bool),
                             "aicc": np.array([c.aicc for c in self.candidates], dtype=np.float64),
                             "outcome": [c.outcome for c in self.candidates],
                             "reason": [c.reason for c in self.candidates]})

    def __repr__(self) -> str:
        return f"<ljungcv.Identification {self.describe()}>"


def model_order(fit: Any) -> Tuple[Tuple[int, int, int], Tuple[int, int, int, int]]:
    """A fit's (p, d, q) and (P, D, Q, s), s 0 for a model without a season."""
    order = (ctypes.c_int32 * 7)()
    host().lib.cvhost_fit_order(fit, order)
    p, d, q, P, D, Q, s = (int(v) for v in order)
    return (p, d, q), (P, D, Q, s if s > 1 else 0)


def label(order: Tuple[int, ...], seasonal_order: Tuple[int, ...]) -> str:
    """The model as the summaries name it: ARIMA(0,1,1)(0,1,1)[12]."""
    (p, d, q), (P, D, Q, s) = order, seasonal_order
    return f"ARIMA({p},{d},{q})" + (f"({P},{D},{Q})[{s}]" if s > 1 else "")


def _ints(pointer: Any, count: int) -> np.ndarray:
    if count == 0 or not pointer:
        return np.empty(0, dtype=np.int32)
    return np.ctypeslib.as_array(pointer, shape=(count,)).copy()


def _doubles(pointer: Any, count: int) -> np.ndarray:
    if count == 0 or not pointer:
        return np.empty(0)
    return np.ctypeslib.as_array(pointer, shape=(count,)).copy()


def _text(raw: Optional[bytes]) -> str:
    return "" if raw is None else raw.decode(errors="replace")

