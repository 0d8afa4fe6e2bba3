#!/usr/bin/env python3
"""Checks every task of a playbook against its module's own documentation (ansible-doc -j):
each option must be one the module documents (or an alias of one), a value must be one of the
option's choices when it has any and of the option's type, and required options must be there.
ansible-playbook --syntax-check checks none of this for modules written in PowerShell.

Usage: check_tasks.py deploy.yml     Exits 1 and names each mistake."""
import json
import subprocess
import sys

import yaml

# Options that win_package no longer takes in the collection's later releases; 1.14 still
# documents them, so the documentation alone would let them pass. They would carry a password.
REMOVED = {"ansible.windows.win_package": {"username", "password", "user_name", "user_password"}}

TYPES = {"str": str, "path": str, "int": int, "bool": bool, "list": list, "dict": dict}


def module_of(task):
    modules = [key for key in task if key.startswith("ansible.")]
    return modules[0] if len(modules) == 1 else None


def check_value(where, name, rule, value, errors):
    expected = TYPES.get(rule.get("type", "str"))
    if expected is not None and not isinstance(value, expected):
        errors.append(f"{where}: {name} should be of type {rule.get('type')}, not {value!r}")
        return
    if rule.get("choices") and value not in rule["choices"]:
        errors.append(f"{where}: {name}: {value!r} is none of {rule['choices']}")
    element = TYPES.get(rule.get("elements", ""))
    if isinstance(value, list) and element is not None:
        for item in value:
            if not isinstance(item, element):
                errors.append(f"{where}: {name} holds {item!r}, not of type {rule['elements']}")


def check_task(task, docs, errors):
    module = module_of(task)
    where = task.get("name", "a task")
    if module is None or module not in docs:
        errors.append(f"{where}: no fully qualified module of the checked ones")
        return
    options = docs[module]["doc"].get("options", {})
    names = {}
    for option, rule in options.items():
        names[option] = (option, rule)
        for alias in rule.get("aliases") or []:
            names[alias] = (option, rule)
    arguments = task[module] or {}
    given = set()
    for key, value in arguments.items():
        if key not in names:
            errors.append(f"{where}: {module} has no option {key!r}")
            continue
        if key in REMOVED.get(module, set()):
            errors.append(f"{where}: {module} no longer takes {key!r}")
        option, rule = names[key]
        given.add(option)
        check_value(where, key, rule, value, errors)
    for option, rule in options.items():
        if rule.get("required") and option not in given:
            errors.append(f"{where}: {module} requires {option!r}")


def main(path):
    with open(path, encoding="utf-8") as source:
        plays = yaml.safe_load(source)
    tasks = [task for play in plays for task in play.get("tasks", [])]
    modules = sorted({module_of(task) for task in tasks if module_of(task)})
    docs = json.loads(subprocess.run(["ansible-doc", "-j", *modules], check=True, capture_output=True,
                                     text=True).stdout) if modules else {}
    errors = []
    for task in tasks:
        check_task(task, docs, errors)
    for error in errors:
        print(error)
    print(f"{path}: {len(tasks)} task(s), {len(errors)} mistake(s)")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
