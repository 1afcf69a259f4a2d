# Student t quantiles for the 95 % intervals of the pictures, without SciPy: the t distribution
# function through the regularised incomplete beta function, inverted by bisection.
import math


def _betaFraction(a, b, x):
    # Continued fraction of the incomplete beta function (modified Lentz); converges for x < (a+1)/(a+b+2).
    tiny = 1e-300
    c, d = 1.0, 1.0 - (a + b) * x / (a + 1.0)
    d = 1.0 / (d if abs(d) > tiny else tiny)
    h = d
    for m in range(1, 400):
        m2 = 2 * m
        for num in (m * (b - m) * x / ((a + m2 - 1) * (a + m2)),
                    -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1))):
            d = 1.0 + num * d
            d = 1.0 / (d if abs(d) > tiny else tiny)
            c = 1.0 + num / c
            c = c if abs(c) > tiny else tiny
            h *= d * c
        if abs(d * c - 1.0) < 1e-15:
            break
    return h


def regularisedBeta(a, b, x):
    if x <= 0.0:
        return 0.0
    if x >= 1.0:
        return 1.0
    front = math.exp(math.lgamma(a + b) - math.lgamma(a) - math.lgamma(b) + a * math.log(x) + b * math.log1p(-x))
    if x < (a + 1.0) / (a + b + 2.0):
        return front * _betaFraction(a, b, x) / a
    return 1.0 - front * _betaFraction(b, a, 1.0 - x) / b


def tDistribution(t, df):
    """P(T <= t) for Student's t with df degrees of freedom."""
    tail = 0.5 * regularisedBeta(df / 2.0, 0.5, df / (df + t * t))
    return 1.0 - tail if t >= 0 else tail


def tQuantile(p, df):
    """The t with P(T <= t) = p, for 0.5 <= p < 1 (to about 1e-12)."""
    if not 0.5 <= p < 1.0 or df < 1:
        raise ValueError(f"t quantile of p={p}, df={df} is not defined here")
    # Closed forms where they exist: the bisection's last digits are not exact.
    if df == 1:
        return math.tan(math.pi * (p - 0.5))
    if df == 2:
        q = 2.0 * p - 1.0
        return math.sqrt(2.0 / (1.0 - q * q) - 2.0)
    low, high = 0.0, 1.0
    while tDistribution(high, df) < p:
        high *= 2.0
    for _ in range(200):
        mid = 0.5 * (low + high)
        if tDistribution(mid, df) < p:
            low = mid
        else:
            high = mid
        if high - low <= 4e-16 * high:
            break
    return 0.5 * (low + high)


def meanInterval95(values):
    """(mean, half width of its 95 % Student t interval, n); the half width is 0 for one value."""
    n = len(values)
    mean = math.fsum(values) / n
    if n < 2:
        return mean, 0.0, n
    sd = math.sqrt(math.fsum((v - mean) ** 2 for v in values) / (n - 1))
    return mean, tQuantile(0.975, n - 1) * sd / math.sqrt(n), n
