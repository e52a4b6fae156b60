"""Regression with seasonal ARIMA errors, fitted by the core's estimator.

The fit is the C interface's (cvhost_fit_arima): exact Gaussian maximum
likelihood through a Kalman filter, the same bits as R and C give; with
order="auto" the core identifies the model first (cvhost_identify_arima).
This file only converts the series and regressors in and the results out.
"""

from __future__ import annotations

import ctypes
import math
import sys
from typing import Any, List, Mapping, Optional, Sequence, Union

import numpy as np

from ._host import STATUS_STOPPED, host
from ._identify import Identification, label, model_order
from ._model import Model, model


class ArimaResults:
    """A fitted regression with seasonal ARIMA errors, read like statsmodels' results.

    ``params``, ``bse`` and ``resid`` are pandas Series when the series came in
    as one (``resid`` with its index and frequency), NumPy arrays otherwise;
    ``param_names`` names the coefficients either way. sigma2 is a field of
    its own, not one of the ``params``. ``order`` and ``seasonal_order`` are
    the model's (the one chosen, for order="auto"); ``identification`` says
    how it was chosen (an :class:`ljungcv.Identification`), None for a model
    given.
    """

    def __init__(self, fit: ctypes.c_void_p, request: Model) -> None:
        lib = host().lib
        n, labels, name = len(request.values), request.labels, request.name
        self.identification: Optional[Identification] = None
        self.order, self.seasonal_order = request.order, request.seasonal_order
        if request.identify is not None:  # the outliers' final fit was identified, but not by its own search
            self.order, self.seasonal_order = model_order(fit)
        if lib.cvhost_fit_identified(fit):
            self.identification = Identification(fit)
        k = lib.cvhost_fit_coefficient_count(fit)
        self.param_names: List[str] = [lib.cvhost_fit_coefficient_name(fit, i).decode() for i in range(k)]
        params = _copy(lib.cvhost_fit_coefficients(fit), k)
        bse = _copy(lib.cvhost_fit_standard_errors(fit), k)
        self._cov = _copy(lib.cvhost_fit_covariance(fit), k * k).reshape(k, k)
        self.sigma2: float = lib.cvhost_fit_sigma2(fit)
        self.llf: float = lib.cvhost_fit_loglik(fit)
        self.aic: float = lib.cvhost_fit_aic(fit)
        self.aicc: float = lib.cvhost_fit_aicc(fit)
        self.bic: float = lib.cvhost_fit_bic(fit)
        self.nobs: int = lib.cvhost_fit_nobs(fit)
        self.converged: bool = bool(lib.cvhost_fit_converged(fit))
        self.message: str = lib.cvhost_fit_message(fit).decode(errors="replace")
        self.iterations: int = lib.cvhost_fit_iterations(fit)
        w = lib.cvhost_fit_weight_count(fit)
        self.pi_weights: np.ndarray = _copy(lib.cvhost_fit_pi_weights(fit), w)  #: pi_1..pi_k
        self.psi_weights: np.ndarray = _copy(lib.cvhost_fit_psi_weights(fit), w)  #: psi_1..psi_k
        self._label = label(self.order, self.seasonal_order)
        self._pandas = labels is not None
        resid = _copy(lib.cvhost_fit_residuals(fit), n)
        if self._pandas:
            pd = sys.modules["pandas"]
            self.params = pd.Series(params, index=self.param_names, name="params")
            self.bse = pd.Series(bse, index=self.param_names, name="bse")
            self.resid = pd.Series(resid, index=labels, name=name)
        else:
            self.params, self.bse, self.resid = params, bse, resid

    def cov_params(self) -> Any:
        """The coefficients' covariance (the inverse of the log-likelihood's Hessian)."""
        if self._pandas:
            pd = sys.modules["pandas"]
            return pd.DataFrame(self._cov, index=self.param_names, columns=self.param_names)
        return self._cov.copy()

    def summary(self) -> str:
        """The model, the fit's measures and a table of coefficients, as text."""
        params, bse = np.asarray(self.params), np.asarray(self.bse)
        lines = [f"Regression with {self._label} errors, exact maximum likelihood"]
        if self.identification is not None:
            lines.append(self.identification.describe())
        lines += [
                 f"No. observations: {self.nobs:>8d}    Log likelihood: {self.llf:14.4f}",
                 f"sigma2: {self.sigma2:18.6g}    AIC: {self.aic:23.4f}",
                 f"AICc: {self.aicc:20.4f}    BIC: {self.bic:23.4f}",
                 f"converged: {'yes' if self.converged else 'no: ' + self.message}"
                 f" ({self.iterations} iterations)",
                 "",
                 f"{'':<14}{'coef':>12}{'std err':>12}{'z':>10}{'P>|z|':>10}"]
        for name, b, se in zip(self.param_names, params, bse):
            z = b / se if se > 0 else math.nan
            p = math.erfc(abs(z) / math.sqrt(2.0))
            lines.append(f"{name:<14}{b:12.4f}{se:12.4f}{z:10.3f}{p:10.3f}")
        return "\n".join(lines)

    def __repr__(self) -> str:
        return f"<ljungcv.ArimaResults {self._label}, llf {self.llf:.4f}>"


def arima(y: Any, order: Union[Sequence[int], str, None] = None, seasonal_order: Optional[Sequence[int]] = None,
          exog: Any = None, trend: Optional[str] = None, *, maxiter: int = 100, period: Optional[int] = None,
          search: Optional[Mapping[str, int]] = None) -> ArimaResults:
    """Fit a regression with seasonal ARIMA errors by exact maximum likelihood, its model given or identified.

    y_t = x_t' beta + u_t with phi(B) Phi(B^s) (1 - B)^d (1 - B^s)^D u_t =
    theta(B) Theta(B^s) a_t, a_t ~ N(0, sigma2).

    Parameters
    ----------
    y : array-like, masked array or pandas.Series of numbers
        The series, read alike in every form (text, booleans, dates and other
        objects are a TypeError); NaN, None, pd.NA or a masked value is a
        missing value, skipped by the filter; its residual is NaN.
    order : (p, d, q) or "auto", default "auto"
        p, q from 0 to 5, d from 0 to 2. "auto" (the default, unless
        ``seasonal_order`` is given: then (0, 0, 0)) identifies the model: d
        by KPSS tests, D by the seasonal strength, the orders and the
        constant by least AICc among the candidates fitted.
    seasonal_order : (P, D, Q, s), optional
        P, Q from 0 to 5, D 0 or 1, the period s from 2 to 366 (0 or 1: none).
        Not with "auto", which identifies it.
    exog : array-like (n,) or (n, k), or pandas Series or DataFrame, optional
        Regressors, complete; differenced with the series. Named by the
        DataFrame's columns or the Series' name, else x1, x2, ...
    trend : None, "n", "c" or "t"
        None: a mean exactly when d + D = 0; "n": none; "c": a mean (d + D = 0
        only); "t": a drift, a time trend 1..n (d + D = 1 only).
    maxiter : int
        The quasi-Newton search's iterations, 1 to 10000 (with "auto": each
        candidate's).
    period : int, optional
        With "auto", the season's length (1: none); by default the one a
        pandas index states (monthly 12, quarterly 4, weekly 52), else none.
    search : dict, optional
        With "auto", the identification's knobs: d (-1: by the tests; else
        held), D (likewise), max_p, max_q, max_P, max_Q, stepwise,
        max_order, allow_constant, max_models; the core's defaults for the
        rest (ljungcv.Identification).

    Bad input is a ValueError (TypeError for what is not numbers) that names
    the argument and the rule: also seasonal_order or trend with "auto".
    """
    if isinstance(maxiter, bool) or not isinstance(maxiter, (int, np.integer)):
        raise TypeError(f"maxiter must be an integer, not {maxiter!r}")
    request = model(y, order, seasonal_order, exog, trend, period, search)
    request.options.max_iterations = int(maxiter) if -2**31 <= maxiter < 2**31 else 0
    lib = host().lib
    fit = ctypes.c_void_p()
    message = ctypes.create_string_buffer(512)
    if request.identify is None:
        status = lib.cvhost_fit_arima(ctypes.byref(request.options), ctypes.byref(fit), message,
                                      ctypes.sizeof(message))
    else:
        from ._outliers import _Interrupt  # Ctrl-C between the candidates' fits, as outliers takes it
        with _Interrupt() as interrupt:
            request.identify.stop_requested = interrupt.hook
            status = lib.cvhost_identify_arima(ctypes.byref(request.options), ctypes.byref(request.identify),
                                               ctypes.byref(fit), message, ctypes.sizeof(message))
        if interrupt.arrived or status == STATUS_STOPPED:
            lib.cvhost_fit_free(fit)
            raise KeyboardInterrupt
    if status != 0:
        raise ValueError(message.value.decode(errors="replace"))
    try:
        return ArimaResults(fit, request)
    finally:
        lib.cvhost_fit_free(fit)


def _copy(pointer: Any, count: int) -> np.ndarray:
    if count == 0 or not pointer:
        return np.empty(0)
    return np.ctypeslib.as_array(pointer, shape=(count,)).copy()
