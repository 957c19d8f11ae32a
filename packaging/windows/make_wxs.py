#!/usr/bin/env python3
"""Writes the WiX source of the MSI package (built by wixl).

make_wxs.py ENTRIES VERSION EXE OUT.wxs

ENTRIES: the lines kb6-com-entries.exe prints for the executable at
C:\\KB6TRAY-INSTALLDIR\\KB6TRAY.exe. That path becomes the installed file's
path ([#KB6TRAY.exe]) and its folder the install folder, so the package's
registry table writes the values /RegServer /AllUsers writes, machine-wide
and removed again with the package.
"""
import sys
from xml.sax.saxutils import quoteattr

PLACEHOLDER_DIR = "C:\\KB6TRAY-INSTALLDIR"
PLACEHOLDER_EXE = PLACEHOLDER_DIR + "\\KB6TRAY.exe"
# Fixed for the life of the product: Windows Installer finds an installed
# older version by it and replaces it.
UPGRADE_CODE = "5B0F7C1E-3D2A-4E8B-9A61-7C4D2E9F8B13"
COMPONENT_GUID = "A4E3C2D1-6B5F-4A79-8E0D-1F2C3B4A5D6E"


def formatted(value):
    # MSI formats registry values: brackets are escaped, then the
    # placeholders become the installed paths.
    value = value.replace("[", "[\\[]").replace("]", "[\\]]")
    value = value.replace(PLACEHOLDER_EXE, "[#KB6TRAY.exe]")
    return value.replace(PLACEHOLDER_DIR, "[INSTALLDIR]")


def main():
    entries_file, version, exe, out = sys.argv[1:5]
    values = []
    with open(entries_file, encoding="utf-8") as f:
        for n, line in enumerate(f):
            line = line.rstrip("\r\n")
            if not line:
                continue
            key, name, value = line.split("\t")
            attrs = [("Id", "reg%d" % n), ("Root", "HKLM"), ("Key", "Software\\Classes\\" + key),
                     ("Type", "string"), ("Value", formatted(value))]
            if name:
                attrs.insert(3, ("Name", name))
            values.append("            <RegistryValue %s/>" %
                          " ".join("%s=%s" % (k, quoteattr(v)) for k, v in attrs))
    wxs = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="KB6TRAY - Korbinar V6 Systemüberwachung" Manufacturer="Korbinar"
           Version=%(version)s UpgradeCode="%(upgrade)s" Language="1031" Codepage="1252">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Description="KB6TRAY - Korbinar V6 Systemüberwachung"/>
    <Media Id="1" Cabinet="kb6tray.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="Eine neuere Version von KB6TRAY ist bereits installiert."/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="KB6TRAY">
          <Component Id="Program" Guid="%(component)s" Win64="yes">
            <File Id="KB6TRAY.exe" Name="KB6TRAY.exe" Source=%(exe)s KeyPath="yes"/>
%(values)s
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1">
      <ComponentRef Id="Program"/>
    </Feature>
  </Product>
</Wix>
""" % {"version": quoteattr(version), "upgrade": UPGRADE_CODE, "component": COMPONENT_GUID, "exe": quoteattr(exe),
       "values": "\n".join(values)}
    with open(out, "w", encoding="utf-8") as f:
        f.write(wxs)


if __name__ == "__main__":
    main()
