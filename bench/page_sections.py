"""docs/performance.md is made of top-level sections ("# Performance of ..."),
each written by its own report script. put_section replaces one of them (from
its heading to the next top-level heading) or appends it, and leaves the
others as they are.
"""
from pathlib import Path

PAGE = Path(__file__).resolve().parents[1] / "docs" / "performance.md"


def put_section(lines, page=PAGE):
    """lines: the section's lines, its "# ..." heading first."""
    heading = lines[0]
    text = page.read_text() if page.exists() else ""
    parts, current = [], None
    for line in text.splitlines():
        if line.startswith("# "):
            current = [line]
            parts.append(current)
        elif current is not None:
            current.append(line)
    body = [list(lines)]
    for i, part in enumerate(parts):
        if part[0] == heading:
            parts[i] = body[0]
            break
    else:
        parts += body
    page.write_text("\n\n".join("\n".join(p).strip("\n") for p in parts) + "\n")
