"""Regression with seasonal ARIMA errors, fitted by the core's estimator.

The fit is the C interface's (cvhost_fit_arima): exact Gaussian maximum
likelihood through a Kalman filter, the same bits as R and C give. This file
only converts the series and regressors in and the results out.
"""

from __future__ import annotations

import ctypes
import math
import sys
from typing import Any, List, Optional, Sequence, Tuple

import numpy as np

from ._host import FIT_OPTIONS_VERSION, FitOptions, host

# trend -> (include_mean, include_drift) of the C options; -1 is the core's
# default, a mean exactly when d + D = 0.
TRENDS = {None: (-1, 0), "n": (0, 0), "c": (1, 0), "t": (0, 1)}


class ArimaResults:
    """A fitted regression with seasonal ARIMA errors, read like statsmodels' results.

    ``params``, ``bse`` and ``resid`` are pandas Series when the series came in
    as one (``resid`` with its index and frequency), NumPy arrays otherwise;
    ``param_names`` names the coefficients either way. sigma2 is a field of
    its own, not one of the ``params``.
    """

    def __init__(self, fit: ctypes.c_void_p, n: int, labels: Any, name: Any, spec: str) -> None:
        lib = host().lib
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
        self._spec = spec
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
        lines = [f"Regression with {self._spec} errors, exact maximum likelihood",
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
        return f"<ljungcv.ArimaResults {self._spec}, llf {self.llf:.4f}>"


def arima(y: Any, order: Sequence[int] = (0, 0, 0), seasonal_order: Sequence[int] = (0, 0, 0, 0),
          exog: Any = None, trend: Optional[str] = None, *, maxiter: int = 100) -> ArimaResults:
    """Fit a regression with seasonal ARIMA errors by exact maximum likelihood.

    y_t = x_t' beta + u_t with phi(B) Phi(B^s) (1 - B)^d (1 - B^s)^D u_t =
    theta(B) Theta(B^s) a_t, a_t ~ N(0, sigma2).

    Parameters
    ----------
    y : array-like, masked array or pandas.Series of numbers
        The series; NaN (or a masked or pandas-missing value) is a missing
        value, skipped by the filter; its residual is NaN.
    order : (p, d, q)
        p, q from 0 to 5, d from 0 to 2.
    seasonal_order : (P, D, Q, s)
        P, Q from 0 to 5, D 0 or 1, the period s from 2 to 366 (0 or 1: none).
    exog : array-like (n,) or (n, k), or pandas Series or DataFrame, optional
        Regressors, complete; differenced with the series. Named by the
        DataFrame's columns or the Series' name, else x1, x2, ...
    trend : None, "n", "c" or "t"
        None: a mean exactly when d + D = 0; "n": none; "c": a mean (d + D = 0
        only); "t": a drift, a time trend 1..n (d + D = 1 only).
    maxiter : int
        The quasi-Newton search's iterations, 1 to 10000.

    Bad input is a ValueError (TypeError for what is not numbers) that names
    the argument and the rule.
    """
    values, labels, name = _series(y, "y")
    p, d, q = _integers(order, 3, "order", "(p, d, q)")
    P, D, Q, s = _integers(seasonal_order, 4, "seasonal_order", "(P, D, Q, s)")
    if trend not in TRENDS:
        raise ValueError(f"trend must be None, 'n', 'c' or 't', not {trend!r}")
    if isinstance(maxiter, bool) or not isinstance(maxiter, (int, np.integer)):
        raise TypeError(f"maxiter must be an integer, not {maxiter!r}")
    xreg, names = _regressors(exog, y, len(values))
    encoded = [n.encode() for n in names]
    name_array = (ctypes.c_char_p * max(len(encoded), 1))(*encoded)

    lib = host().lib
    options = FitOptions()
    lib.cvhost_fit_options_init(ctypes.byref(options), FIT_OPTIONS_VERSION)
    options.y, options.n = _address(values), len(values)
    options.p, options.d, options.q = p, d, q
    options.P, options.D, options.Q, options.period = P, D, Q, (s if s > 1 else 1)
    options.xreg, options.xreg_columns = _address(xreg), len(names)
    options.xreg_names = ctypes.cast(name_array, ctypes.POINTER(ctypes.c_char_p)) if names else None
    options.include_mean, options.include_drift = TRENDS[trend]
    options.max_iterations = int(maxiter) if -2**31 <= maxiter < 2**31 else 0
    fit = ctypes.c_void_p()
    message = ctypes.create_string_buffer(512)
    status = lib.cvhost_fit_arima(ctypes.byref(options), ctypes.byref(fit), message, ctypes.sizeof(message))
    if status != 0:
        raise ValueError(message.value.decode(errors="replace"))
    try:
        spec = f"ARIMA({p},{d},{q})" + (f"({P},{D},{Q})[{s}]" if s > 1 else "")
        return ArimaResults(fit, len(values), labels, name, spec)
    finally:
        lib.cvhost_fit_free(fit)


def _copy(pointer: Any, count: int) -> np.ndarray:
    if count == 0 or not pointer:
        return np.empty(0)
    return np.ctypeslib.as_array(pointer, shape=(count,)).copy()


def _numbers(array: np.ndarray, name: str) -> None:
    # Numbers only: no booleans, strings, objects, dates or timedeltas.
    if array.dtype.kind not in "iuf":
        raise TypeError(f"{name} must hold numbers, not {array.dtype}")


def _series(y: Any, name: str) -> Tuple[np.ndarray, Any, Any]:
    """y as a float64 vector with NaN for a missing value, its pandas index and name."""
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(y, pd.DataFrame):
        if y.shape[1] != 1:
            raise ValueError(f"{name} must be one series; this DataFrame has {y.shape[1]} columns")
        y = y.iloc[:, 0]
    if pd is not None and isinstance(y, pd.Series):
        if not pd.api.types.is_numeric_dtype(y.dtype) or pd.api.types.is_bool_dtype(y.dtype):
            raise TypeError(f"{name} must hold numbers, not {y.dtype}")
        return np.ascontiguousarray(y.to_numpy(dtype=np.float64, na_value=np.nan)), y.index, y.name
    if isinstance(y, np.ma.MaskedArray):
        _numbers(np.asarray(y.data), name)
        array = np.ma.filled(y.astype(np.float64), np.nan)
    else:
        array = np.asarray(y)
        _numbers(array, name)
    if array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {array.shape}")
    return np.ascontiguousarray(array, dtype=np.float64), None, None


def _integers(values: Any, count: int, name: str, form: str) -> Tuple[int, ...]:
    try:
        items = tuple(values)
    except TypeError:
        items = ()
    if len(items) != count or not all(isinstance(v, (int, np.integer)) and not isinstance(v, bool) for v in items):
        raise ValueError(f"{name} must be {count} integers {form}, not {values!r}")
    if not all(-2**31 <= v < 2**31 for v in items):
        raise ValueError(f"{name} must be {count} integers {form} in range, not {values!r}")
    return tuple(int(v) for v in items)


def _regressors(exog: Any, y: Any, n: int) -> Tuple[np.ndarray, List[str]]:
    """The regressors as one column-major block of doubles, and their names."""
    if exog is None:
        return np.empty(0), []
    pd = sys.modules.get("pandas")
    names: Optional[List[str]] = None
    if pd is not None and isinstance(exog, (pd.Series, pd.DataFrame)):
        if isinstance(y, (pd.Series, pd.DataFrame)) and not exog.index.equals(y.index):
            raise ValueError("exog's index differs from y's: give both the same index")
        frame = exog.to_frame() if isinstance(exog, pd.Series) else exog
        for column, dtype in frame.dtypes.items():
            if not pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype):
                raise TypeError(f"exog column {column!r} must hold numbers, not {dtype}")
        names = None if isinstance(exog, pd.Series) and exog.name is None else [str(c) for c in frame.columns]
        matrix = frame.to_numpy(dtype=np.float64, na_value=np.nan)
    else:
        if isinstance(exog, np.ma.MaskedArray):
            _numbers(np.asarray(exog.data), "exog")
            matrix = np.ma.filled(exog.astype(np.float64), np.nan)
        else:
            matrix = np.asarray(exog)
            _numbers(matrix, "exog")
        matrix = np.asarray(matrix, dtype=np.float64)
    if matrix.ndim == 1:
        matrix = matrix.reshape(-1, 1)
    if matrix.ndim != 2 or matrix.shape[0] != n:
        raise ValueError(f"exog must have one row per value of y ({n}), not shape {matrix.shape}")
    if names is None:
        names = [f"x{j + 1}" for j in range(matrix.shape[1])]
    return np.asfortranarray(matrix).ravel(order="F"), names


def _address(array: np.ndarray) -> Optional[int]:
    return array.__array_interface__["data"][0] if array.size else None
