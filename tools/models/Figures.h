#pragma once
// The four figures of the show: the size each is made at and the budget it is simplified to. The
// sequence's camera orbits at 8 to 10 times a row's scale (0.1 to 3) with a 90-degree view and
// sweeps low through the middle now and then, so each figure is sized for the rows that show it:
// large enough to fill a fair part of the frame from the far orbits, small enough (and shaped and
// turned) that the near sweeps pass beside it rather than through it. The ninja is also the first
// scene's hero, whose orbit of radius 8 bounds how far it may reach sideways. The budgets come from
// timing each figure on the software renderer against how its silhouette holds up.
#include <cstddef>

struct FigureSpec {
    const char* name;      // data/<name>.aml
    double largestSide;    // model units
    size_t triangleBudget; // simplified to at most this many triangles...
    double maxError;       // ...unless that would move the surface further than this, model units
};

constexpr FigureSpec kFigures[] = {
    {"pah", 18.0, 20000, 0.03},
    {"ninja", 15.4, 20000, 0.01},
    {"bakteeri1", 14.9, 16000, 0.03},
    {"demoni", 19.5, 16000, 0.015},
};
