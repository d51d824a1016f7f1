#!/usr/bin/env python3
"""What each layer of the installer stub and of the runtime costs, read from
the linker's map (sea-stub.map beside the stub): the bytes of every input
section that the linker kept, summed by where it came from. The stub is
optimised as one program, so its own code shows as one part; the layers'
shares before that are those of their objects (nm --size-sort -S).

    stub_map.py STUB.map [--objects]
"""
import collections
import re
import sys


def contributions(lines):
    """(output section, source, bytes) of every kept input section."""
    output = None
    pending = None
    in_map = False
    for line in lines:
        if line.startswith("Linker script and memory map"):
            in_map = True
            continue
        if not in_map:
            continue
        top = re.match(r"^(\.[\w$.]+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)", line)
        if top:
            output = top.group(1)
            continue
        # An input section: its name, then address, size and file, on one
        # line or, for a long name, on the next.
        entry = re.match(r"^ (\.\S+|COMMON)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*))?$", line)
        if entry:
            if entry.group(2):
                yield output, entry.group(4), int(entry.group(3), 16)
                pending = None
            else:
                pending = entry.group(1)
            continue
        if pending:
            rest = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if rest:
                yield output, rest.group(3), int(rest.group(2), 16)
            pending = None


def layer_of(source):
    source = source.strip()
    name = re.sub(r".*/", "", source)
    if "libstdc++" in source or "libsupc++" in source:
        return "runtime: libstdc++"
    if "libgcc" in source or name.startswith("crtbegin") or name.startswith("crtend"):
        return "runtime: libgcc"
    if "libmingw" in source or name.startswith("crt2") or name.startswith("dllcrt"):
        return "runtime: mingw start-up"
    if re.search(r"lib(msvcrt|kernel32|user32|gdi32|advapi32|shell32|ole32|comctl32|uuid)\.a", source):
        return "imports (thunks and names)"
    # Optimised as one program, the layers' code comes out of the optimiser's
    # partitions, which no longer tell one layer from another.
    if name.endswith(".ltrans.o"):
        return "all layers (optimised as one)"
    if source == "dll stuff":
        return "relocations (for ASLR)"
    if name.endswith(".res"):
        return "resources"
    library = re.match(r"lib(\w+)\.a\(", name)
    if library:
        return library.group(1) + "/"
    if "installer/" in source or name.endswith(".cpp.obj"):
        return "installer/"
    return "other: " + name


def main():
    path = sys.argv[1]
    per_object = "--objects" in sys.argv
    layers = collections.Counter()
    sections = collections.Counter()
    objects = collections.Counter()
    for output, source, size in contributions(open(path, errors="replace").read().splitlines()):
        if output is None or output.startswith(".debug") or size == 0:
            continue
        layer = layer_of(source)
        layers[layer] += size
        sections[(layer, output)] += size
        objects[re.sub(r".*/", "", source.strip())] += size
    total = sum(layers.values())
    print(f"{'layer':32} {'bytes':>8} {'share':>6}  by section")
    for layer, size in layers.most_common():
        parts = ", ".join(f"{s} {n}" for (l, s), n in sorted(sections.items(), key=lambda kv: -kv[1]) if l == layer)
        print(f"{layer:32} {size:8d} {100.0 * size / total:5.1f}%  {parts}")
    print(f"{'all input sections':32} {total:8d}")
    if per_object:
        print()
        for name, size in objects.most_common():
            print(f"{size:8d}  {name}")


if __name__ == "__main__":
    main()
