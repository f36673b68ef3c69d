#!/usr/bin/python
# -*- coding: utf-8 -*-
# Brings one camera (one inventory host) to the firmware of a .patch file by
# running tovarin-fleet where the module runs. A camera already on the
# patch's version is left alone (changed: false).

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: tovarin_firmware
short_description: Update one IP camera's firmware with tovarin-fleet
description:
  - Logs in to the camera, compares its hardware and firmware version with the
    patch's header and, when they differ, sends the patch with
    C(tovarin-fleet update), which reboots the camera and confirms the new
    version.
  - A camera that already runs the patch's version is not touched.
  - The password reaches tovarin-fleet through its environment
    (C(TOVARIN_PASSWORD)) or a password file, never its command line.
options:
  address:
    description: The camera's IPv4 address.
    required: true
    type: str
  patch:
    description: The .patch file, on the machine where the module runs.
    required: true
    type: path
  login:
    description: User tried after the camera's default account.
    default: admin
    type: str
  password:
    description: The password of I(login).
    type: str
  password_file:
    description: A file holding the password (first line), readable by its owner only.
    type: path
  fleet:
    description: The tovarin-fleet program.
    default: tovarin-fleet
    type: str
  reboot_wait:
    description: Seconds the camera may take to come back from its reboot.
    default: 180
    type: int
notes:
  - Supports check mode, which logs in and reports what would be done.
"""

EXAMPLES = r"""
- name: Bring the camera to the patch's firmware
  tovarin_firmware:
    address: "{{ camera_address }}"
    patch: /srv/firmware/47RKT2011.patch
    login: admin
    password: "{{ camera_password }}"
"""

RETURN = r"""
hardware:
  description: The hardware name the camera reported.
  type: str
version_before:
  description: The firmware version before the run.
  type: int
version_after:
  description: The firmware version after the run (the same when unchanged).
  type: int
reason:
  description: Why the update failed, as tovarin-fleet reported it.
  type: str
"""

import json
import os
import struct

from ansible.module_utils.basic import AnsibleModule

# The .patch header: command code (u32, 10), hardware name (16 bytes),
# version (i32), all little-endian.
HEADER = struct.Struct("<I16si")


def read_patch_header(path):
    with open(path, "rb") as f:
        head = f.read(HEADER.size)
    if len(head) < HEADER.size:
        raise ValueError("shorter than a patch header")
    code, name, version = HEADER.unpack(head)
    if code != 10:
        raise ValueError("not a .patch file")
    return name.split(b"\0", 1)[0].decode("utf-8", "backslashreplace"), version


def run_fleet(module, args):
    """Runs tovarin-fleet with its JSON on standard output; returns (rc, json, stderr)."""
    p = module.params
    command = [p["fleet"]] + args + ["--login", p["login"], "--json", "-"]
    environ = {}
    if p["password_file"]:
        command += ["--password-file", p["password_file"]]
    elif p["password"] is not None:
        environ["TOVARIN_PASSWORD"] = p["password"]
    rc, out, err = module.run_command(command, environ_update=environ, data="")
    try:
        return rc, json.loads(out), err
    except ValueError:
        return rc, None, err


def main():
    module = AnsibleModule(
        argument_spec=dict(
            address=dict(type="str", required=True),
            patch=dict(type="path", required=True),
            login=dict(type="str", default="admin"),
            password=dict(type="str", no_log=True),
            password_file=dict(type="path", no_log=False),
            fleet=dict(type="str", default="tovarin-fleet"),
            reboot_wait=dict(type="int", default=180),
        ),
        mutually_exclusive=[("password", "password_file")],
        supports_check_mode=True,
    )
    p = module.params
    result = dict(changed=False, address=p["address"])
    try:
        hardware, version = read_patch_header(p["patch"])
    except (OSError, ValueError) as e:
        module.fail_json(msg="cannot read the patch %s: %s" % (p["patch"], e), **result)

    rc, found, err = run_fleet(module, ["search", "--device", p["address"]])
    if rc != 0 or not found:
        module.fail_json(msg="tovarin-fleet search failed: %s" % err.strip(), rc=rc, **result)
    camera = found[0]
    if camera.get("identifier"):
        result["identifier"] = camera["identifier"]
    if "login_error" in camera:
        module.fail_json(msg="camera %s: %s" % (p["address"], camera["login_error"]), **result)
    result.update(hardware=camera["hardware"], version_before=camera["version"])
    if camera["hardware"] != hardware:
        module.fail_json(msg="patch is for %s, camera is %s; nothing sent"
                         % (hardware, camera["hardware"]), **result)
    if camera["version"] == version:
        result["version_after"] = version
        module.exit_json(msg="already on version %d" % version, **result)
    if module.check_mode:
        result["version_after"] = version
        module.exit_json(msg="would update %d to %d" % (camera["version"], version),
                         changed=True, **{k: v for k, v in result.items() if k != "changed"})

    rc, report, err = run_fleet(module, ["update", "--patch", p["patch"], "--device", p["address"],
                                         "--reboot-wait", str(p["reboot_wait"])])
    rows = (report or {}).get("devices") or [{}]
    row = rows[0]
    if row.get("version_after") is not None:
        result["version_after"] = row["version_after"]
    if rc != 0 or row.get("result") != "confirmed":
        result["reason"] = row.get("reason") or err.strip()
        # Unless the fleet says so, part of a patch may have reached the camera.
        result["changed"] = "nothing sent" not in result["reason"]
        module.fail_json(msg="camera %s: %s" % (p["address"], result["reason"]), rc=rc, **result)
    result["changed"] = True
    module.exit_json(msg="updated %d to %d, confirmed" % (camera["version"], row["version_after"]),
                     **result)


if __name__ == "__main__":
    main()
