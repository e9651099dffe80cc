<#
.SYNOPSIS
Registers the tarvex_tracking OpenXR API layer with the OpenXR loader, or removes it again.

.DESCRIPTION
Registers XR_APILAYER_TARVEX_tracking_override.json, which lies beside this script, as an
implicit API layer for all users: a DWORD value 0 named by the manifest's full path under
HKLM\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit. The OpenXR loader adds the layer only to
applications started with TARVEX_OPENXR_CONFIG set; every other OpenXR application runs without it. Registrations of the same manifest from other
folders (an earlier copy of the package) are removed, so the layer is registered once. Copies the
commented sample TarvexOpenXRConfig.ini to the configuration folder unless one is there already.
Running the script twice changes nothing the second time. Asks for administrator rights when it
lacks them.

.PARAMETER Uninstall
Removes every registration of the layer's manifest instead. The configuration is left in place.

.PARAMETER ConfigDirectory
The folder for TarvexOpenXRConfig.ini. Default: %ProgramData%\TarvexOpenXR.

.PARAMETER SetConfigVariable
Also sets the machine-wide environment variable TARVEX_OPENXR_CONFIG to ConfigDirectory, which puts
the layer into every OpenXR application started afterwards (with -Uninstall: removes it when it
names ConfigDirectory).

.EXAMPLE
powershell -ExecutionPolicy Bypass -File .\install-layer.ps1 -SetConfigVariable

.EXAMPLE
powershell -ExecutionPolicy Bypass -File .\install-layer.ps1 -Uninstall
#>
[CmdletBinding()]
param(
    [switch]$Uninstall,
    [string]$ConfigDirectory = (Join-Path $env:ProgramData 'TarvexOpenXR'),
    [switch]$SetConfigVariable,
    # Set on the elevated copy of the script, so that its window stays open until read.
    [Parameter(DontShow)][switch]$PauseAtEnd
)

$ErrorActionPreference = 'Stop'
$ManifestName = 'XR_APILAYER_TARVEX_tracking_override.json'
$LayersKey = 'HKLM:\SOFTWARE\Khronos\OpenXR\1\ApiLayers\Implicit'
$ConfigName = 'TarvexOpenXRConfig.ini'
$VariableName = 'TARVEX_OPENXR_CONFIG'

function Test-Administrator {
    $identity = [Security.Principal.WindowsIdentity]::GetCurrent()
    $principal = New-Object Security.Principal.WindowsPrincipal($identity)
    return $principal.IsInRole([Security.Principal.WindowsBuiltInRole]::Administrator)
}

# Values in the layers key that name a manifest of this layer, whichever folder it is in.
function Get-OurRegistrations {
    if (-not (Test-Path $LayersKey)) {
        return @()
    }
    $key = Get-Item $LayersKey
    return @($key.GetValueNames() | Where-Object { (Split-Path $_ -Leaf) -ieq $ManifestName })
}

function Install-Layer {
    $manifest = Join-Path $PSScriptRoot $ManifestName
    if (-not (Test-Path $manifest)) {
        throw "The manifest $manifest is missing; run this script from the unpacked package."
    }
    if (-not (Test-Path (Join-Path $PSScriptRoot 'tarvex_tracking.dll'))) {
        throw "tarvex_tracking.dll is missing beside $manifest."
    }
    $manifest = (Resolve-Path $manifest).ProviderPath

    if (-not (Test-Path $LayersKey)) {
        New-Item -Path $LayersKey -Force | Out-Null
        Write-Host "Created the registry key $LayersKey"
    }
    foreach ($name in Get-OurRegistrations) {
        if ($name -ne $manifest) {
            Remove-ItemProperty -Path $LayersKey -Name $name
            Write-Host "Removed the earlier registration $name"
        }
    }
    $key = Get-Item $LayersKey
    $current = $key.GetValue($manifest, $null)
    if ($null -ne $current -and $current -eq 0 -and
        $key.GetValueKind($manifest) -eq [Microsoft.Win32.RegistryValueKind]::DWord) {
        Write-Host "Already registered as an implicit layer: $manifest"
    } else {
        New-ItemProperty -Path $LayersKey -Name $manifest -PropertyType DWord -Value 0 -Force |
            Out-Null
        Write-Host "Registered as an implicit layer: $LayersKey\$manifest = 0"
    }

    if (-not (Test-Path $ConfigDirectory)) {
        New-Item -ItemType Directory -Path $ConfigDirectory -Force | Out-Null
    }
    $config = Join-Path $ConfigDirectory $ConfigName
    if (Test-Path $config) {
        Write-Host "Kept the existing configuration $config"
    } else {
        Copy-Item (Join-Path $PSScriptRoot $ConfigName) $config
        Write-Host "Copied the sample configuration to $config; edit it for your system"
    }

    if ($SetConfigVariable) {
        [Environment]::SetEnvironmentVariable($VariableName, $ConfigDirectory, 'Machine')
        Write-Host "Set $VariableName=$ConfigDirectory for all users; every OpenXR application started from now on gets the layer"
    } else {
        Write-Host "The loader adds the layer only to applications started with $VariableName set to the folder of its"
        Write-Host "configuration; every other OpenXR application runs without it. To set it for your account:"
        Write-Host "    setx $VariableName `"$ConfigDirectory`""
    }
}

function Uninstall-Layer {
    $names = Get-OurRegistrations
    if ($names.Count -eq 0) {
        Write-Host "The layer was not registered under $LayersKey; nothing to remove"
    }
    foreach ($name in $names) {
        Remove-ItemProperty -Path $LayersKey -Name $name
        Write-Host "Removed the registration $name"
    }
    if ($SetConfigVariable -and
        [Environment]::GetEnvironmentVariable($VariableName, 'Machine') -eq $ConfigDirectory) {
        [Environment]::SetEnvironmentVariable($VariableName, $null, 'Machine')
        Write-Host "Removed the machine-wide $VariableName"
    }
    Write-Host "Left the configuration in $ConfigDirectory in place"
}

if (-not (Test-Administrator)) {
    Write-Host 'Registering an implicit layer for all users needs administrator rights; asking for them.'
    $arguments = @('-NoProfile', '-ExecutionPolicy', 'Bypass', '-File', "`"$PSCommandPath`"",
        '-ConfigDirectory', "`"$ConfigDirectory`"", '-PauseAtEnd')
    if ($Uninstall) { $arguments += '-Uninstall' }
    if ($SetConfigVariable) { $arguments += '-SetConfigVariable' }
    $process = Start-Process -FilePath (Get-Process -Id $PID).Path -Verb RunAs `
        -ArgumentList $arguments -Wait -PassThru
    exit $process.ExitCode
}

$status = 0
try {
    if ($Uninstall) { Uninstall-Layer } else { Install-Layer }
} catch {
    Write-Host "Failed: $($_.Exception.Message)"
    $status = 1
}
if ($PauseAtEnd) {
    Read-Host 'Press Enter to close this window' | Out-Null
}
exit $status
