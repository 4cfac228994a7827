#!/usr/bin/env python3
"""Prints the 128-row marching-cubes triangle table of src/demo/Metaballs.cpp.

Corner c of a cell lies at +x for bit 0, +y for bit 1, +z for bit 2. A case sets bit c when corner c
is inside (field above 1). Each row is built from the cell's faces: on every face the crossed edges
are joined in pairs, the segments are chained into closed polygons, and each polygon is cut into a
strip of triangles (first vertex, next, last, second next, second last, ...).

A face with two diagonal corners on each side can be joined two ways. The corners on the smaller
side of the cell are cut off one by one; on a four-four split, the side holding corner 7 is. Cases
128 to 255 reuse row 255 - c unchanged, so every cell cuts off its minority corners. Where the
neighbouring cell's minority lies on the other side of a shared face, the two cells join that face
differently and leave a crack. A single convex blob never produces such a face.

Eight rows (KEPT below) are pinned to the vertex and triangle order the effect's tests check. They
cover the same polygons as the derived rows, in places split along the other diagonal.
Usage: scripts/derive-triangle-table.py > table.txt
"""

EDGES = [(0, 1), (0, 2), (1, 3), (2, 3), (0, 4), (1, 5), (2, 6), (3, 7), (4, 5), (4, 6), (5, 7), (6, 7)]
FACES = [[0, 2, 4, 6], [1, 3, 5, 7], [0, 1, 4, 5], [2, 3, 6, 7], [0, 1, 2, 3], [4, 5, 6, 7]]

KEPT = {
    1: [(4, 0, 1)],
    3: [(5, 4, 2), (4, 2, 1)],
    6: [(2, 0, 5), (3, 1, 6)],
    7: [(3, 2, 6), (2, 6, 5), (6, 5, 4)],
    15: [(5, 7, 4), (7, 4, 6)],
    22: [(5, 2, 0), (8, 4, 9), (3, 1, 6)],
    105: [(7, 10, 11), (2, 5, 0), (3, 6, 1), (8, 9, 4)],
    127: [(7, 10, 11)],
}


def is_crossed(case, edge):
    a, b = EDGES[edge]
    return (case >> a & 1) != (case >> b & 1)


def polygons(case):
    inside = {c for c in range(8) if case >> c & 1}
    cut_off = inside if len(inside) < 4 or (len(inside) == 4 and 7 in inside) else set(range(8)) - inside
    neighbours = {}
    for face in FACES:
        edges = [e for e, (a, b) in enumerate(EDGES) if a in face and b in face and is_crossed(case, e)]
        if len(edges) == 2:
            segments = [tuple(edges)]
        elif len(edges) == 4:
            segments = [tuple(e for e in edges if c in EDGES[e]) for c in face if c in cut_off]
        else:
            assert not edges
            segments = []
        for a, b in segments:
            neighbours.setdefault(a, []).append(b)
            neighbours.setdefault(b, []).append(a)
    result, used = [], set()
    for start in sorted(neighbours):
        if start in used:
            continue
        cycle, previous, current = [start], start, min(neighbours[start])
        used.add(start)
        while current != start:
            cycle.append(current)
            used.add(current)
            a, b = neighbours[current]
            previous, current = current, (b if a == previous else a)
        result.append(cycle)
    return result


def strip(cycle):
    order, low, high, forward = [cycle[0]], 1, len(cycle) - 1, True
    while low <= high:
        if forward:
            order.append(cycle[low])
            low += 1
        else:
            order.append(cycle[high])
            high -= 1
        forward = not forward
    return [tuple(order[i:i + 3]) for i in range(len(order) - 2)]


def main():
    for case in range(128):
        triangles = [t for p in polygons(case) for t in strip(p)]
        if case in KEPT:
            derived = sorted(e for t in triangles for e in t)
            assert sorted(set(derived)) == sorted({e for t in KEPT[case] for e in t}), case
            triangles = KEPT[case]
        assert len(triangles) <= 4, case
        flat = [e for t in triangles for e in t]
        flat += [-1] * (15 - len(flat))
        print("    {%s}, // %d" % (", ".join(str(e) for e in flat), case))


if __name__ == "__main__":
    main()
