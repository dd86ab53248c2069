"""Helpers shared by the checks of the docs."""


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def report(problems, success):
    """Prints the problems found, or the success line; returns the exit status."""
    for p in problems:
        print(p)
    if problems:
        return 1
    print(success)
    return 0
