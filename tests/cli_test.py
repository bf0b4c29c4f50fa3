#!/usr/bin/env python3
# Placeholder: the command-line checks are written on the main branch.
print("0 passed, 0 failed")
