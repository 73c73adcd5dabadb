#pragma once

#include <QVector>

#include <cmath>

// Pearson's correlation of two level series of the same length: near 1 where two channels
// move together, near 0 where they move on their own.
inline double correlation(const QVector<double> &a, const QVector<double> &b)
{
    const int n = a.size();
    double meanA = 0.0;
    double meanB = 0.0;
    for (int i = 0; i < n; ++i) {
        meanA += a[i] / n;
        meanB += b[i] / n;
    }
    double ab = 0.0;
    double aa = 0.0;
    double bb = 0.0;
    for (int i = 0; i < n; ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return ab / std::sqrt(aa * bb);
}
