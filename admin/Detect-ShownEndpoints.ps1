# Detect-ShownEndpoints.ps1: the detection half of a fleet remediation (such as
# Intune's Remediations, run as SYSTEM). Exits 1, so that the remediation runs,
# while an endpoint of $Flow whose friendly name contains $Substring is not
# hidden, whatever its presence: an unplugged one left shown comes back when it
# is plugged in. Exits 0 when every such endpoint is hidden.
# Set both as in Hide-Endpoints.ps1.
$Flow = 'Render'                              # Render (playback) or Capture (recording)
$Substring = 'NVIDIA High Definition Audio'   # matched as Quorvane matches: exactly, case-sensitively

# >>> Reading endpoints: this function stands the same in Get-AudioEndpoints.ps1
# and Detect-ShownEndpoints.ps1 (each must work as a single file), and the
# project's checks keep the two copies identical.
function Get-AudioEndpoint {
    # Every playback (Render) and recording (Capture) endpoint Windows records,
    # with the friendly name Quorvane matches against and whether it is hidden.
    # The 64-bit registry view is read, so that a 32-bit PowerShell (as Intune
    # starts unless "Run script in 64-bit PowerShell" is set) sees the same keys
    # as a 64-bit one instead of those under WOW6432Node.
    $friendlyName = '{a45c254e-df1c-4efd-8020-67d146a850e0},14'
    $description = '{a45c254e-df1c-4efd-8020-67d146a850e0},2'
    $adapter = '{b3f8fa53-0004-438e-9003-51a46e139bfc},6'
    $machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey(
        [Microsoft.Win32.RegistryHive]::LocalMachine, [Microsoft.Win32.RegistryView]::Registry64)
    foreach ($flow in 'Render', 'Capture') {
        $flowKey = $machine.OpenSubKey("SOFTWARE\Microsoft\Windows\CurrentVersion\MMDevices\Audio\$flow")
        if ($null -eq $flowKey) { continue }
        foreach ($id in $flowKey.GetSubKeyNames()) {
            $endpoint = $flowKey.OpenSubKey($id)
            $properties = $flowKey.OpenSubKey("$id\Properties")
            if ($null -eq $endpoint -or $null -eq $properties) { continue }
            # The friendly name when Windows stored it whole, otherwise composed
            # as Windows shows it: "description (adapter)". Values that are not
            # strings are no name.
            $name = $properties.GetValue($friendlyName)
            if ($name -isnot [string]) {
                $first = $properties.GetValue($description)
                $second = $properties.GetValue($adapter)
                $name = $null
                if ($first -is [string] -and $second -is [string]) { $name = "$first ($second)" }
            }
            # DeviceState: the low four bits are the presence (1 active, 2
            # disabled, 4 not present, 8 unplugged); a hidden endpoint has been
            # seen both as 2 and with 0x10000000 set.
            $state = $endpoint.GetValue('DeviceState')
            $hidden = $false
            if ($state -is [int]) {
                $hidden = (($state -band 0x10000000) -ne 0) -or (($state -band 0xF) -eq 2)
            }
            [pscustomobject]@{ Flow = $flow; Hidden = $hidden; Name = $name; Id = $id }
        }
    }
}
# <<< Reading endpoints

# String.Contains compares ordinally, as Quorvane does: no wildcards, no case folding.
$shown = @(Get-AudioEndpoint | Where-Object {
        $_.Flow -eq $Flow -and $null -ne $_.Name -and $_.Name.Contains($Substring) -and -not $_.Hidden
    })
foreach ($endpoint in $shown) { Write-Output "Shown: $($endpoint.Name)" }
if ($shown.Count -gt 0) { exit 1 }
Write-Output "Every $Flow endpoint whose name contains '$Substring' is hidden."
exit 0
