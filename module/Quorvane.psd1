# The Quorvane module's manifest. ModuleVersion is the project's version, which
# the house checks hold to CMakeLists.txt.
@{
    RootModule = 'Quorvane.psm1'
    ModuleVersion = '1.0.0'
    GUID = 'ec06aa3e-7f54-4d55-a8a0-9710a4fe35fd'
    Author = 'The Quorvane developers'
    CompanyName = 'Quorvane'
    Copyright = 'Copyright (c) The Quorvane developers. MIT licence.'
    Description = 'Shows or hides Windows audio endpoints (playback and recording devices) chosen by a piece of their friendly name, or exactly by id: piped endpoints, or a saved list restored. With -WhatIf and Tab completion of names. Runs Quorvane.exe, QuorvaneList.exe and QuorvaneId.exe from its own folder.'
    PowerShellVersion = '5.1'
    CompatiblePSEditions = @('Desktop', 'Core')
    FormatsToProcess = @('Quorvane.format.ps1xml')
    FunctionsToExport = @('Get-QuorvaneEndpoint', 'Hide-QuorvaneEndpoint', 'Show-QuorvaneEndpoint')
    CmdletsToExport = @()
    AliasesToExport = @()
    VariablesToExport = @()
    PrivateData = @{
        PSData = @{
            Tags = @('audio', 'endpoint', 'sound', 'device', 'windows', 'PSEdition_Desktop', 'PSEdition_Core', 'Windows')
            LicenseUri = 'https://github.com/OWNER/REPO/blob/main/LICENSE'
            ProjectUri = 'https://github.com/OWNER/REPO'
        }
    }
}
